#pragma once
// "宋体" as the programs ask for it, with fallbacks for systems without it.
#include <QFont>

namespace common {

// 宋体, SimSun, Noto Serif CJK SC, then the default family.
QFont songTiFont(qreal pointSize, bool bold = false);

} // namespace common
