#include "command_line.h"

#include <QString>

namespace tempora {

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine result;
  if (arguments.empty()) return result;
  const QString first = QString::fromUtf8(arguments.front()).toUpper();
  if (first.startsWith(QLatin1String("-BAR"))) result.DisplayMode = 1;
  result.HideTools = first.contains(QLatin1String("NOTOOLS"));
  result.HideMenu = first.contains(QLatin1String("NOMENU"));
  result.NoBorder = first.contains(QLatin1String("NOBORDER"));
  return result;
}

}  // namespace tempora
