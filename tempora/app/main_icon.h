#pragma once
#include <QIcon>

namespace tempora {

// The program's icon (a clock face), drawn rather than shipped as a file.
QIcon MakeMainIcon();

}  // namespace tempora
