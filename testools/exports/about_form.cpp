#include "about_form.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

namespace testools {
namespace {

// The family's support contacts.
const char* const kEmail = "info@korvex.example";
const char* const kSupportEmail = "support@korvex.example";
const char* const kWebsite = "www.korvex.example";

void SetTextColour(QLabel* label, Qt::GlobalColor colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

int Bottom(const QWidget* widget) { return widget->y() + widget->height(); }

}  // namespace

TAboutForm::TAboutForm(QWidget* parentWindow, const QIcon& icon, const QString& aboutText)
    : QDialog(parentWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QString::fromUtf8("О программе"));
  setMouseTracking(true);
  installEventFilter(this);

  LogoImage = new QLabel(this);
  LogoImage->setObjectName("LogoImage");
  LogoImage->setPixmap(icon.pixmap(32, 32));
  LogoImage->move(10, 10);
  LogoImage->adjustSize();

  AboutLabel = new QLabel(aboutText, this);
  AboutLabel->setObjectName("AboutLabel");
  AboutLabel->move(58, 10);
  AboutLabel->adjustSize();

  ContactsLabel = new QLabel(QString::fromUtf8("Электронный адрес: \nТех.поддержка: \nВеб-сайт: "), this);
  ContactsLabel->setObjectName("ContactsLabel");
  ContactsLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
  ContactsLabel->move(58, Bottom(AboutLabel));
  ContactsLabel->adjustSize();

  const int contactsLeft = ContactsLabel->x() + ContactsLabel->width();
  EmailLabel = MakeContactLabel(QString::fromUtf8(kEmail), QString::fromUtf8("mailto:") + kEmail);
  EmailLabel->setObjectName("EmailLabel");
  EmailLabel->move(contactsLeft, ContactsLabel->y());
  SupportLabel = MakeContactLabel(QString::fromUtf8(kSupportEmail), QString::fromUtf8("mailto:") + kSupportEmail);
  SupportLabel->setObjectName("SupportLabel");
  SupportLabel->move(contactsLeft, Bottom(EmailLabel));
  WebsiteLabel = MakeContactLabel(QString::fromUtf8(kWebsite), QString::fromUtf8(kWebsite));
  WebsiteLabel->setObjectName("WebsiteLabel");
  WebsiteLabel->move(EmailLabel->x(), Bottom(SupportLabel));

  const int width = AboutLabel->width() + 74;
  OKButton = new QPushButton(QString::fromUtf8("О&К"), this);
  OKButton->setObjectName("OKButton");
  OKButton->setToolTip(QString::fromUtf8("Закрыть это окно"));
  OKButton->setDefault(true);
  OKButton->setGeometry((width - 92) / 2, Bottom(ContactsLabel) + 15, 92, 23);
  OKButton->installEventFilter(this);
  OKButton->setMouseTracking(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);  // Escape rejects, also closing

  for (QLabel* label : {LogoImage, AboutLabel, ContactsLabel}) {
    label->setMouseTracking(true);
    label->installEventFilter(this);
  }
  setFixedSize(width, OKButton->y() + 63);
}

QLabel* TAboutForm::MakeContactLabel(const QString& text, const QString& hint) {
  auto* label = new QLabel(text, this);
  label->setToolTip(hint);
  label->setCursor(Qt::PointingHandCursor);
  label->setMouseTracking(true);
  label->installEventFilter(this);
  SetTextColour(label, Qt::blue);
  label->adjustSize();
  return label;
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  auto* label = qobject_cast<QLabel*>(watched);
  const bool contact = label && (label == EmailLabel || label == SupportLabel || label == WebsiteLabel);
  if (event->type() == QEvent::MouseMove) {
    if (contact) {
      ContactsMouseMove(label);
    } else {
      OtherMouseMove();
    }
  } else if (event->type() == QEvent::MouseButtonRelease && contact &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ContactsClick(label);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutForm::ContactsClick(QLabel* label) {
  const QString target = label->toolTip();
  QDesktopServices::openUrl(target.startsWith(QLatin1String("mailto:")) ? QUrl(target) : QUrl::fromUserInput(target));
  SetTextColour(label, Qt::blue);
}

void TAboutForm::ContactsMouseMove(QLabel* label) {
  for (QLabel* other : {EmailLabel, SupportLabel, WebsiteLabel}) SetTextColour(other, other == label ? Qt::red : Qt::blue);
}

void TAboutForm::OtherMouseMove() {
  for (QLabel* other : {EmailLabel, SupportLabel, WebsiteLabel}) SetTextColour(other, Qt::blue);
}

}  // namespace testools
