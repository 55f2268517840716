// Fragments of the KML and HTML map files: indentation, numbers and
// coordinates.
#include "core/outputfiles.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace pixplot::systemfinction {

QString IndentSpaces(int level)
{
    return level > 0 ? QString(4 * level, QLatin1Char(' ')) : QString();
}

QString numberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits, then write them out without exponent.
    char sci[40];
    const auto r = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14);
    const char *p = sci;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    const char *e = static_cast<const char *>(std::memchr(p, 'e', size_t(r.ptr - p)));
    char digits[16];
    int nd = 0;
    for (const char *c = p; c < e; ++c) {
        if (*c != '.')
            digits[nd++] = *c;
    }
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    int exponent = 0;
    std::from_chars(e[1] == '+' ? e + 2 : e + 1, r.ptr, exponent);
    char out[400];
    int n = 0;
    if (negative)
        out[n++] = '-';
    if (exponent < 0) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            out[n++] = '0';
        for (int i = 0; i < nd; ++i)
            out[n++] = digits[i];
    } else if (exponent + 1 >= nd) {
        for (int i = 0; i < nd; ++i)
            out[n++] = digits[i];
        for (int i = nd; i < exponent + 1; ++i)
            out[n++] = '0';
    } else {
        for (int i = 0; i < nd; ++i) {
            if (i == exponent + 1)
                out[n++] = '.';
            out[n++] = digits[i];
        }
    }
    return QString::fromLatin1(out, n);
}

QString KmlCoordinate(const QList<GeoPoint> &points, int i, double dLon, double dLat)
{
    if (i < 1 || i > points.size())
        return {};
    const GeoPoint &p = points.at(i - 1);
    return numberText(p.longitude + dLon) + QLatin1Char(',') + numberText(p.latitude + dLat)
        + QStringLiteral(",0");
}

QString MapLatLngLiteral(const QList<GeoPoint> &points, int i, double dLon, double dLat)
{
    if (i < 1 || i > points.size())
        return {};
    const GeoPoint &p = points.at(i - 1);
    return QStringLiteral("new GLatLng(") + numberText(p.latitude + dLat) + QLatin1Char(',')
        + numberText(p.longitude + dLon) + QLatin1Char(')');
}

} // namespace pixplot::systemfinction
