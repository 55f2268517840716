#include "core/cliargs.h"

#include <QStringList>
#include <limits>

namespace areagrab {

namespace {

std::optional<QList<int>> parseInts(const QString &text, int count)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return std::nullopt;
    QList<int> values;
    for (const QString &part : parts) {
        bool ok = false;
        // Screen coordinates stay far inside 32 bits; this keeps x + w so too.
        const int v = part.trimmed().toInt(&ok);
        if (!ok || v < -(1 << 24) || v > (1 << 24))
            return std::nullopt;
        values.append(v);
    }
    return values;
}

} // namespace

std::optional<QRect> parseRectArg(const QString &text)
{
    const auto v = parseInts(text, 4);
    if (!v)
        return std::nullopt;
    return QRect((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

std::optional<QPoint> parsePointArg(const QString &text)
{
    const auto v = parseInts(text, 2);
    if (!v)
        return std::nullopt;
    return QPoint((*v)[0], (*v)[1]);
}

} // namespace areagrab
