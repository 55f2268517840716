#pragma once
// GPX 1.1 documents as the suite writes them: waypoints, then one track of
// segments; UTF-8, CR LF line ends, times in UTC ending in "Z".
#include <QByteArray>
#include <QList>
#include <QString>

namespace common::gpx {

struct Point {
    double latitude = 0;
    double longitude = 0;
    qint64 utc = 0; // seconds since 1970 UTC
    QString name;   // waypoints only
    // A coordinate read from a file, written with every digit it has
    // where nine decimals would round it.
    bool everyDigit = false;
};

struct Document {
    QString creator;   // the program's name
    QString trackName; // "" writes no name
    QList<Point> waypoints;
    QList<QList<Point>> segments; // no segment writes no track
};

QByteArray write(const Document &document);

// The same document written piece by piece, for callers that never hold all
// their points at once: waypoints, then at most one track of segments, then
// finish(). Appends UTF-8 to out.
class Writer {
public:
    Writer(QByteArray &out, const QString &creator);
    void waypoint(const Point &p);
    void beginTrack(const QString &name); // "" writes no name
    void beginSegment();
    void trackPoint(const Point &p);
    void endSegment();
    void endTrack();
    void finish();

private:
    QByteArray &out_;
};
// "2026-03-29T01:30:00Z".
QString timeText(qint64 utc);
// Decimal degrees with nine decimals, trailing zeros dropped.
QString degreeText(double value);
// The same where it reads back as value; else the shortest decimals that do.
QString exactDegreeText(double value);
// The shortest decimals (no exponent) that read back as value; "" for a
// value that has none (not finite).
QString shortestDecimalText(double value);

} // namespace common::gpx
