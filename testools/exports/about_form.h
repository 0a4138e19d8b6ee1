#pragma once
// The About box: the program's icon, its description and version, and the support contacts.
#include <QDialog>
#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;

namespace testools {

class TAboutForm : public QDialog {
 public:
  TAboutForm(QWidget* parentWindow, const QIcon& icon, const QString& aboutText);

  QLabel* AboutLabel = nullptr;
  QLabel* ContactsLabel = nullptr;
  QLabel* EmailLabel = nullptr;
  QLabel* SupportLabel = nullptr;
  QLabel* LogoImage = nullptr;
  QPushButton* OKButton = nullptr;
  QLabel* WebsiteLabel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* MakeContactLabel(const QString& text, const QString& hint);
  void ContactsClick(QLabel* label);
  void ContactsMouseMove(QLabel* label);
  void OtherMouseMove();
};

}  // namespace testools
