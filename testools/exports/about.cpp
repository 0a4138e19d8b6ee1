// The About box and the program's version record.
#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <memory>

#include "TesTools.h"
#include "about_form.h"
#include "platform/datetime.h"
#include "platform/version_note.h"
#include "testools/date_time_format.h"

namespace {

// Date and time as "dd.mm.yyyy hh:nn:ss"; like the family's date exports, it leaves the
// library's format settings set to the forms it used.
std::string DateTimeText(platform::DateTime value) {
  testools::TFormatSettings settings = testools::LibraryFormatSettings();
  settings.DateSeparator = '.';
  settings.ShortDateFormat = "dd.mm.yyyy";
  settings.TimeSeparator = ':';
  settings.LongTimeFormat = "hh:nn:ss";
  testools::SetLibraryFormatSettings(settings);
  return testools::DateTimeToStr(value, settings);
}

// The last change of the program file, local time.
platform::DateTime ProgramFileDate() {
  struct stat info {};
  if (::stat("/proc/self/exe", &info) != 0) return 0;
  struct tm local {};
  const time_t seconds = info.st_mtime;
  localtime_r(&seconds, &local);
  return platform::EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                                  local.tm_sec, 0);
}

// The program's icon: its Qt resource "MAINICON" when it has one, else its window icon.
QIcon ProgramIcon(QWidget* window) {
  if (QFile::exists(QStringLiteral(":/MAINICON"))) return QIcon(QStringLiteral(":/MAINICON"));
  if (window && !window->windowIcon().isNull()) return window->windowIcon();
  return QApplication::windowIcon();
}

void Assign(std::string& field, const std::string& value) {
  if (!value.empty()) field = value;
}

}  // namespace

extern "C" {

void GetAppVersion(TVersionInfo& info) {
  info = TVersionInfo();
  const auto note = platform::OwnVersionNote();
  if (!note) return;
  Assign(info.CompanyName, note->CompanyName);
  Assign(info.LegalTrademarks, note->LegalTrademarks);
  Assign(info.LegalCopyright, note->LegalCopyright);
  Assign(info.ProductName, note->ProductName);
  Assign(info.ProductVersion, note->ProductVersion);
  Assign(info.FileDescription, note->FileDescription);
  Assign(info.FileVersion, note->FileVersion);
  Assign(info.InternalName, note->InternalName);
  Assign(info.OriginalFilename, note->OriginalFilename);
  Assign(info.Comments, note->Comments);
}

void ShowAbout(void* /*instance: the program's icon is found among its resources*/, QWidget* window) {
  const platform::DateTime fileDate = ProgramFileDate();
  int year = 0, month = 0, day = 0;
  platform::DecodeDate(fileDate, year, month, day);
  TVersionInfo info;
  GetAppVersion(info);

  const std::string years = year > 2004 ? "2004–" + std::to_string(year) : std::to_string(year);
  std::string text = info.FileDescription + "\n";
  text += "Версия " + info.FileVersion + " (" + DateTimeText(fileDate) + ")\n\n";
  text += "© " + years + " " + info.CompanyName + ". Все права защищены.\n";

  auto form = std::make_unique<testools::TAboutForm>(window, ProgramIcon(window), QString::fromStdString(text));
  if (const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen()) {
    form->move(screen->geometry().center() - form->rect().center());
  }
  form->exec();
}

}  // extern "C"
