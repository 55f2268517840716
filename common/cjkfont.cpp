#include "common/cjkfont.h"

namespace common {

QStringList songTiFamilies(SpaceWidth spaces)
{
    QStringList families{QStringLiteral("宋体"), QStringLiteral("SimSun")};
    if (spaces == SpaceWidth::HalfWidth)
        families << QStringLiteral("Noto Sans Mono CJK SC");
    families << QStringLiteral("Noto Serif CJK SC");
    return families;
}

QFont songTiFont(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies(songTiFamilies());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace common
