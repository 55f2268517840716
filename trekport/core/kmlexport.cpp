#include "kmlexport.h"

#include "common/textfile.h"

namespace trekport {
namespace {

QString esc(const QString &s)
{
    QString out = s.toHtmlEscaped();
    // Control characters (from a garbled GTXT line) have no place in XML
    // 1.0, not even escaped; they would leave the document unreadable.
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0xFFFE || u == 0xFFFF)
            c = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

bool parseDecimal(const QString &s, __int128 *scaled, int *decimals)
{
    // Exact digits: floating point would round 13 decimals wrongly.
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? s : s.left(dot);
    const QString frac = dot < 0 ? QString() : s.mid(dot + 1);
    if (whole.isEmpty() || whole.size() + frac.size() > 30)
        return false;
    __int128 v = 0;
    for (QChar c : whole + frac) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *scaled = v;
    *decimals = int(frac.size());
    return true;
}

} // namespace

QString TimeLabel(const TrackRow &r)
{
    return r[ColMonth] + QLatin1Char('/') + r[ColDay] + QLatin1Char(' ') + r[ColHour] + QLatin1Char(':')
        + r[ColMinute] + QLatin1Char(':') + r[ColSecond];
}

QString IndentText(int k)
{
    return QString(2 * k, QLatin1Char(' '));
}

QString decimalDegrees(const QString &degrees, const QString &minutes)
{
    __int128 m = 0;
    int decimals = 0;
    if (!parseDecimal(minutes, &m, &decimals) || m == 0)
        return degrees;
    __int128 unit = 1;
    for (int i = 0; i < decimals; ++i)
        unit *= 10;
    const __int128 denominator = 60 * unit; // minutes / 60 = m / denominator
    __int128 whole = m / denominator;
    __int128 rest = m % denominator;
    // 13 decimals, rounded half up, one digit at a time: rest * 10^13 would
    // overflow for minutes with many fraction digits.
    __int128 scale = 1;
    __int128 digits = 0;
    for (int i = 0; i < 13; ++i) {
        scale *= 10;
        rest *= 10;
        digits = digits * 10 + rest / denominator;
        rest %= denominator;
    }
    if (2 * rest >= denominator)
        ++digits;
    if (digits >= scale) {
        digits -= scale;
        ++whole;
    }
    QString head = degrees;
    if (whole > 0) {
        // Minutes of 60 or more carry into the degrees.
        bool ok = false;
        const qlonglong deg = degrees.toLongLong(&ok);
        if (ok)
            head = QString::number(deg + qlonglong(whole)).rightJustified(degrees.size(), QLatin1Char('0'));
    }
    if (digits == 0)
        return head;
    QString frac = QString::number(qulonglong(digits)).rightJustified(13, QLatin1Char('0'));
    while (frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    return head + QLatin1Char('.') + frac;
}

QString KmlCoordinates(const TrackRow &r)
{
    return decimalDegrees(r[ColLonDeg], r[ColLonMin]) + QLatin1Char(',')
        + decimalDegrees(r[ColLatDeg], r[ColLatMin]) + QStringLiteral(",0");
}

int forEachKmlLine(const PointStore &store, int count, const std::function<void(const QString &)> &line,
                   int *impossible)
{
    int marked = 0;
    int markedRows = 0;
    int nowhere = 0;
    line(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    line(QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"));
    line(QStringLiteral("<Document>"));
    line(QStringLiteral("<name>New Paths</name>"));
    line(QStringLiteral("<description>") + esc(TimeLabel(store.at(0))) + QStringLiteral(" TO ")
         + esc(TimeLabel(store.at(count - 1))) + QStringLiteral("</description>"));
    for (int i = 0; i < count; ++i) {
        if (store.cell(i, ColKind) != kindMarked)
            continue;
        ++markedRows;
        const TrackRow r = store.at(i);
        if (positionImpossible(r)) {
            ++nowhere;
            continue;
        }
        ++marked;
        line(IndentText(1) + QStringLiteral("<Placemark>"));
        line(IndentText(2) + QStringLiteral("<name>NO.") + esc(r[ColRecord]) + QStringLiteral("</name>"));
        line(IndentText(2) + QStringLiteral("<description> ")
             + esc(TimeLabel(r) + QStringLiteral(" N") + r[ColLatDeg] + QStringLiteral("°") + r[ColLatMin]
                   + QStringLiteral("',E") + r[ColLonDeg] + QStringLiteral("°") + r[ColLonMin]
                   + QLatin1Char('\''))
             + QStringLiteral("</description>"));
        line(IndentText(2) + QStringLiteral("<Point>"));
        line(IndentText(3) + QStringLiteral("<coordinates>") + esc(KmlCoordinates(r))
             + QStringLiteral("</coordinates>"));
        line(IndentText(2) + QStringLiteral("</Point>"));
        line(IndentText(1) + QStringLiteral("</Placemark>"));
    }
    if (markedRows < count) {
        line(QStringLiteral("<Style id=\"style0\"><LineStyle>"));
        line(QStringLiteral("<color>ff00ffaa</color>"));
        line(QStringLiteral("<width>2</width>"));
        line(QStringLiteral("</LineStyle></Style>"));
        line(IndentText(1) + QStringLiteral("<Placemark>"));
        line(IndentText(2) + QStringLiteral("<name>Auto Track</name>"));
        line(IndentText(2) + QStringLiteral("<description>My Auto Track ......</description>"));
        line(IndentText(2) + QStringLiteral("<styleUrl>#style0</styleUrl>"));
        line(IndentText(2) + QStringLiteral("<LineString>"));
        line(IndentText(2) + QStringLiteral("<coordinates>"));
        for (int j = 0; j < count; ++j) {
            if (store.cell(j, ColKind) != kindAuto)
                continue;
            const TrackRow r = store.at(j);
            if (positionImpossible(r))
                ++nowhere;
            else
                line(IndentText(3) + esc(KmlCoordinates(r)));
        }
        line(IndentText(2) + QStringLiteral("</coordinates>"));
        line(IndentText(2) + QStringLiteral("</LineString>"));
        line(IndentText(1) + QStringLiteral("</Placemark>"));
    }
    line(QStringLiteral("</Document>"));
    line(QStringLiteral("</kml>"));
    if (impossible)
        *impossible = nowhere;
    return marked;
}

KmlDocument buildKmlDocument(const PointStore &store, int count)
{
    KmlDocument doc;
    doc.count = count;
    doc.lines.reserve(count * 2 + 32);
    doc.marked = forEachKmlLine(
        store, count, [&doc](const QString &l) { doc.lines << l; }, &doc.impossible);
    return doc;
}

KmlFile buildKmlFile(const PointStore &store, int count)
{
    KmlFile file;
    file.count = count;
    file.bytes.reserve(qsizetype(count) * 48 + 1024);
    file.marked = forEachKmlLine(
        store, count,
        [&file](const QString &l) {
            file.bytes += l.toUtf8();
            file.bytes += "\r\n";
        },
        &file.impossible);
    return file;
}

QString kmlSavedMessage(const QString &path, int marked, int automatic)
{
    return QStringLiteral("KML文件已保存到\r\n") + path + QStringLiteral("！\r\n\r\n共 ")
        + QString::number(marked) + QStringLiteral("个标记点, ") + QString::number(automatic)
        + QStringLiteral("个自动轨迹点。");
}

bool writeKmlFile(const QString &path, const QByteArray &bytes, QString *error)
{
    return common::writeFileAtomically(path, bytes, error);
}

} // namespace trekport
