#pragma once
// "宋体" as the programs ask for it, with fallbacks for systems without it.
#include <QFont>
#include <QStringList>

namespace common {

enum class SpaceWidth {
    Any,
    // The text's runs of spaces leave gaps sized by 宋体's half-width
    // spaces: a fixed-pitch CJK face keeps that width where 宋体 is missing
    // (the serif fallback's spaces are far narrower).
    HalfWidth,
};

// 宋体, SimSun, (Noto Sans Mono CJK SC for HalfWidth,) Noto Serif CJK SC;
// then the default family.
QStringList songTiFamilies(SpaceWidth spaces = SpaceWidth::Any);

// A font of songTiFamilies().
QFont songTiFont(qreal pointSize, bool bold = false);

} // namespace common
