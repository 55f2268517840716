#include "common/gpxwriter.h"

#include "common/timezone.h"

namespace common::gpx {

namespace {

// &, <, > and " as entities.
QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

void appendPoint(QString &out, const char *element, const Point &p, const QString &indent)
{
    out += indent + QLatin1Char('<') + QLatin1String(element) + QStringLiteral(" lat=\"")
        + degreeText(p.latitude) + QStringLiteral("\" lon=\"") + degreeText(p.longitude)
        + QStringLiteral("\">");
    // GPX 1.1 order inside a point: ele, time, ..., name.
    out += QStringLiteral("<time>") + timeText(p.utc) + QStringLiteral("</time>");
    if (!p.name.isEmpty())
        out += QStringLiteral("<name>") + escaped(p.name) + QStringLiteral("</name>");
    out += QStringLiteral("</") + QLatin1String(element) + QStringLiteral(">\r\n");
}

} // namespace

QString timeText(qint64 utc)
{
    QString t = calendarText(utc);
    t[10] = QLatin1Char('T');
    return t + QLatin1Char('Z');
}

QString degreeText(double value)
{
    QString t = QString::number(value, 'f', 9);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    if (t == QLatin1String("-0"))
        t = QStringLiteral("0");
    return t;
}

QByteArray write(const Document &document)
{
    QString out;
    qsizetype points = document.waypoints.size();
    for (const QList<Point> &segment : document.segments)
        points += segment.size();
    out.reserve(400 + points * 90);
    out += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    out += QStringLiteral("<gpx version=\"1.1\" creator=\"") + escaped(document.creator)
        + QStringLiteral("\" xmlns=\"http://www.topografix.com/GPX/1/1\""
                         " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                         " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1"
                         " http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n");
    for (const Point &p : document.waypoints)
        appendPoint(out, "wpt", p, QStringLiteral("  "));
    if (!document.segments.isEmpty()) {
        out += QStringLiteral("  <trk>\r\n");
        if (!document.trackName.isEmpty())
            out += QStringLiteral("    <name>") + escaped(document.trackName) + QStringLiteral("</name>\r\n");
        for (const QList<Point> &segment : document.segments) {
            out += QStringLiteral("    <trkseg>\r\n");
            for (const Point &p : segment)
                appendPoint(out, "trkpt", p, QStringLiteral("      "));
            out += QStringLiteral("    </trkseg>\r\n");
        }
        out += QStringLiteral("  </trk>\r\n");
    }
    out += QStringLiteral("</gpx>\r\n");
    return out.toUtf8();
}

} // namespace common::gpx
