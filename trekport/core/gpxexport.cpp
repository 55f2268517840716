#include "gpxexport.h"

#include "kmlexport.h"
#include "nmeaexport.h"

#include "common/gpxwriter.h"
#include "common/safefile.h"

namespace trekport {

GpxExport buildGpxDocument(const PointStore &store, int count, const QString &dataYear,
                           const common::TimeZoneSetting &zone)
{
    GpxExport out;
    common::gpx::Document doc;
    doc.creator = QStringLiteral("trekport");
    doc.trackName = QStringLiteral("Auto Track");
    QList<common::gpx::Point> track;
    for (int i = 0; i < count; ++i) {
        const TrackRow &row = store.at(i);
        const bool marked = row[ColKind] == kindMarked;
        if (!marked && row[ColKind] != kindAuto)
            continue; // neither kind: in neither part, as in the KML file
        const std::optional<qint64> utc = rowUtcSeconds(row, dataYear, zone);
        bool okLat = false, okLon = false;
        const double lat = decimalDegrees(row[ColLatDeg], row[ColLatMin]).toDouble(&okLat);
        const double lon = decimalDegrees(row[ColLonDeg], row[ColLonMin]).toDouble(&okLon);
        if (!utc || !okLat || !okLon) {
            ++out.skipped;
            continue;
        }
        common::gpx::Point p{lat, lon, *utc, QString()};
        if (marked) {
            p.name = QStringLiteral("NO.") + row[ColRecord];
            doc.waypoints.append(p);
            ++out.marked;
        } else {
            track.append(p);
            ++out.automatic;
        }
    }
    if (!track.isEmpty())
        doc.segments.append(track);
    out.bytes = common::gpx::write(doc);
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
