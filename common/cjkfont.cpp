#include "cjkfont.h"

#include <QStringList>

namespace common {

QFont songTiFont(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace common
