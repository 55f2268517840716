#include "common/gpxwriter.h"

#include "common/timezone.h"

#include <charconv>
#include <cmath>

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
        + (p.everyDigit ? exactDegreeText(p.latitude) : degreeText(p.latitude)) + QStringLiteral("\" lon=\"")
        + (p.everyDigit ? exactDegreeText(p.longitude) : degreeText(p.longitude)) + QStringLiteral("\">");
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

QString exactDegreeText(double value)
{
    const QString nine = degreeText(value);
    if (!std::isfinite(value) || nine.toDouble() == value)
        return nine;
    const QString shortest = shortestDecimalText(value);
    return shortest.isEmpty() ? nine : shortest;
}

QString shortestDecimalText(double value)
{
    if (!std::isfinite(value))
        return {};
    char text[400]; // the longest double in fixed notation fits
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return r.ec == std::errc() ? QString::fromLatin1(text, r.ptr - text) : QString();
}

Writer::Writer(QByteArray &out, const QString &creator) : out_(out)
{
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    out_ += (QStringLiteral("<gpx version=\"1.1\" creator=\"") + escaped(creator)
             + QStringLiteral("\" xmlns=\"http://www.topografix.com/GPX/1/1\""
                              " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                              " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1"
                              " http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n"))
                .toUtf8();
}

void Writer::waypoint(const Point &p)
{
    QString line;
    appendPoint(line, "wpt", p, QStringLiteral("  "));
    out_ += line.toUtf8();
}

void Writer::beginTrack(const QString &name)
{
    out_ += "  <trk>\r\n";
    if (!name.isEmpty())
        out_ += (QStringLiteral("    <name>") + escaped(name) + QStringLiteral("</name>\r\n")).toUtf8();
}

void Writer::beginSegment()
{
    out_ += "    <trkseg>\r\n";
}

void Writer::trackPoint(const Point &p)
{
    QString line;
    appendPoint(line, "trkpt", p, QStringLiteral("      "));
    out_ += line.toUtf8();
}

void Writer::endSegment()
{
    out_ += "    </trkseg>\r\n";
}

void Writer::endTrack()
{
    out_ += "  </trk>\r\n";
}

void Writer::finish()
{
    out_ += "</gpx>\r\n";
}

QByteArray write(const Document &document)
{
    QByteArray out;
    qsizetype points = document.waypoints.size();
    for (const QList<Point> &segment : document.segments)
        points += segment.size();
    out.reserve(400 + points * 90);
    Writer w(out, document.creator);
    for (const Point &p : document.waypoints)
        w.waypoint(p);
    if (!document.segments.isEmpty()) {
        w.beginTrack(document.trackName);
        for (const QList<Point> &segment : document.segments) {
            w.beginSegment();
            for (const Point &p : segment)
                w.trackPoint(p);
            w.endSegment();
        }
        w.endTrack();
    }
    w.finish();
    return out;
}

} // namespace common::gpx
