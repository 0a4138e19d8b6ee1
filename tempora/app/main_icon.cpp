#include "main_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tempora {

QIcon MakeMainIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = size / 12.0;
    painter.setPen(QPen(QColor(20, 60, 130), pen));
    painter.setBrush(QColor(235, 242, 255));
    painter.drawEllipse(QRectF(pen, pen, size - 2 * pen, size - 2 * pen));
    const QPointF centre(size / 2.0, size / 2.0);
    painter.drawLine(centre, QPointF(size / 2.0, size * 0.22));
    painter.drawLine(centre, QPointF(size * 0.72, size / 2.0));
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace tempora
