#include "gpxexport.h"

#include "kmlexport.h"
#include "nmeaexport.h"

#include "common/gpxwriter.h"
#include "common/safefile.h"

#include <algorithm>
#include <vector>

namespace trekport {
namespace {

// A row as a GPX point, or nothing when it has no time or place.
std::optional<common::gpx::Point> gpxPoint(const TrackRow &row, const QString &dataYear,
                                           const common::TimeZoneSetting &zone)
{
    const std::optional<qint64> utc = rowUtcSeconds(row, dataYear, zone);
    bool okLat = false, okLon = false;
    const double lat = decimalDegrees(row[ColLatDeg], row[ColLatMin]).toDouble(&okLat);
    const double lon = decimalDegrees(row[ColLonDeg], row[ColLonMin]).toDouble(&okLon);
    if (!utc || !okLat || !okLon)
        return std::nullopt;
    return common::gpx::Point{lat, lon, *utc, QString()};
}

} // namespace

GpxExport buildGpxDocument(const PointStore &store, int count, const QString &dataYear,
                           const common::TimeZoneSetting &zone)
{
    GpxExport out;
    out.bytes.reserve(qsizetype(count) * 100 + 1024);
    common::gpx::Writer gpx(out.bytes, QStringLiteral("trekport"));
    // The fixes for the track: a time and two numbers each, sorted by time
    // once the waypoints are out.
    struct Fix {
        qint64 utc;
        double lat;
        double lon;
    };
    std::vector<Fix> fixes;
    fixes.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const TrackRow row = store.at(i);
        const bool marked = row[ColKind] == kindMarked;
        if (!marked && row[ColKind] != kindAuto)
            continue; // neither kind: in neither part, as in the KML file
        // A place that cannot exist is told as such, whatever its time.
        if (positionImpossible(row)) {
            ++out.impossible;
            continue;
        }
        std::optional<common::gpx::Point> p = gpxPoint(row, dataYear, zone);
        if (!p) {
            ++out.skipped;
            continue;
        }
        fixes.push_back({p->utc, p->latitude, p->longitude});
        if (marked) {
            p->name = QStringLiteral("NO.") + row[ColRecord];
            gpx.waypoint(*p);
            ++out.marked;
        } else {
            ++out.automatic;
        }
    }
    if (!fixes.empty()) {
        std::stable_sort(fixes.begin(), fixes.end(),
                         [](const Fix &a, const Fix &b) { return a.utc < b.utc; });
        gpx.beginTrack(QStringLiteral("Auto Track"));
        gpx.beginSegment();
        for (const Fix &f : fixes)
            gpx.trackPoint({f.lat, f.lon, f.utc, QString()});
        gpx.endSegment();
        gpx.endTrack();
    }
    gpx.finish();
    return out;
}

QString gpxSavedMessage(const QString &path, const GpxExport &doc)
{
    QString text = QStringLiteral("GPX文件已保存到\r\n") + path + QStringLiteral("！\r\n\r\n共 ")
        + QString::number(doc.marked) + QStringLiteral("个标记点, ") + QString::number(doc.automatic)
        + QStringLiteral("个自动轨迹点。");
    if (doc.skipped > 0)
        text += QStringLiteral("\r\n有") + QString::number(doc.skipped)
            + QStringLiteral("个轨迹点的时间、日期或坐标不是数字，未写入。");
    return text;
}

bool writeGpxFile(const QString &path, const QByteArray &bytes, QString *error)
{
    return common::writeFileAtomically(path, bytes, error);
}

} // namespace trekport
