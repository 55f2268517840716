#include "tracksession.h"

#include "gpxexport.h"
#include "gtxtfile.h"
#include "kmlexport.h"
#include "nmeaexport.h"
#include "statustext.h"

#include "common/clock.h"
#include "common/consoletext.h"
#include "common/safefile.h"

namespace trekport {

TrackSession::TrackSession(QObject *parent)
    : QObject(parent), link_(store_, [this] { return count(); }), dataYear_(yearOf(common::clock::now()))
{
    // A point is listed as soon as the link has stored it.
    connect(&link_, &LoggerLink::pointCompleted, this, [this] {
        listModel_.appendRows(1);
        emit pointsAppended(1);
    });
}

void TrackSession::clear()
{
    listModel_.clear();
    sources_.clear();
}

LoadOutcome TrackSession::importGtxt(const QString &path)
{
    LoadOutcome outcome;
    QStringList lines;
    // Checked before opening: a FIFO would block for good.
    if (!readGtxtFile(path, &lines, &outcome.error))
        return outcome;
    outcome.read = true;
    int cut = 0;
    outcome.kept = parseTrackLines(lines, store_, count(), &outcome.ignored, &cut);
    lines.clear();
    if (outcome.kept == 0)
        return outcome;
    sources_.append({path, outcome.ignored == 0 && cut == 0});
    listModel_.appendRows(outcome.kept);
    emit pointsAppended(outcome.kept);
    return outcome;
}

QString TrackSession::outputRefusal(TrackFormat format, const QString &path) const
{
    for (const Source &source : sources_) {
        if (!common::sameFile(source.path, path))
            continue;
        // Saving the list as GTXT over a file it holds whole keeps every
        // line of that file; anything else would lose what was read.
        if (format == TrackFormat::Gtxt && source.whole)
            continue;
        return QStringLiteral("不能写入：\r\n") + path
            + QStringLiteral("\r\n它是列表中轨迹点读取自的文件，写入会丢失其中的数据。");
    }
    return QString();
}

ExportOutcome TrackSession::exportTo(TrackFormat format, const QString &path)
{
    ExportOutcome o;
    const int n = count();
    switch (format) {
    case TrackFormat::Gtxt:
        o.written = writeGtxtFile(path, store_, n, &o.error);
        o.points = n;
        break;
    case TrackFormat::Name: {
        const QByteArray bytes = buildNameFile(store_, n, dataYear_, &o.notNumbers, zone_, &o.impossible);
        o.written = writeNameFile(path, bytes, &o.error);
        o.points = n - o.notNumbers - o.impossible;
        break;
    }
    case TrackFormat::Kml: {
        const KmlFile doc = buildKmlFile(store_, n);
        o.written = writeKmlFile(path, doc.bytes, &o.error);
        o.marked = doc.marked;
        o.impossible = doc.impossible;
        o.other = n - doc.marked - doc.impossible;
        o.points = n - doc.impossible;
        break;
    }
    case TrackFormat::Gpx: {
        const GpxExport doc = buildGpxDocument(store_, n, dataYear_, zone_);
        o.written = writeGpxFile(path, doc.bytes, &o.error);
        o.marked = doc.marked;
        o.other = doc.automatic;
        o.notNumbers = doc.skipped;
        o.impossible = doc.impossible;
        o.points = doc.marked + doc.automatic;
        break;
    }
    }
    return o;
}

namespace {

QString impossibleText(int impossible)
{
    return QStringLiteral("有%1个轨迹点的坐标不可能存在（纬度超过90°、经度超过180°或分达到60），未写入。")
        .arg(impossible);
}

} // namespace

QString exportMessage(TrackFormat format, const QString &path, const ExportOutcome &o)
{
    if (!o.written)
        return writeFailedMessage(path, o.error);
    QString text;
    switch (format) {
    case TrackFormat::Gtxt:
        return gtxtSavedMessage(path, o.points);
    case TrackFormat::Name:
        text = nameSavedMessage(path, o.notNumbers);
        break;
    case TrackFormat::Kml:
        text = kmlSavedMessage(path, o.marked, o.other);
        break;
    case TrackFormat::Gpx:
        text = gpxSavedMessage(path, GpxExport{{}, o.marked, o.other, o.notNumbers, o.impossible});
        break;
    }
    if (o.impossible > 0)
        text += QStringLiteral("\r\n") + impossibleText(o.impossible);
    return text;
}

QString exportConsoleLine(TrackFormat format, const QString &path, const ExportOutcome &o)
{
    if (!o.written)
        return common::consoleOneLine(writeFailedMessage(path, o.error));
    QString text;
    switch (format) {
    case TrackFormat::Gtxt:
        return QStringLiteral("已写入GTXT文件") + path + QStringLiteral("，共%1个轨迹点。").arg(o.points);
    case TrackFormat::Name:
        text = QStringLiteral("已写入NAME文件") + path + QStringLiteral("，共%1个轨迹点").arg(o.points);
        if (o.notNumbers > 0)
            text += QStringLiteral("，%1个轨迹点数据不是数字，未写入").arg(o.notNumbers);
        break;
    case TrackFormat::Kml:
        text = QStringLiteral("已写入KML文件") + path
            + QStringLiteral("，共 %1个标记点, %2个自动轨迹点").arg(o.marked).arg(o.other);
        break;
    case TrackFormat::Gpx:
        text = QStringLiteral("已写入GPX文件") + path
            + QStringLiteral("，共 %1个标记点, %2个自动轨迹点").arg(o.marked).arg(o.other);
        if (o.notNumbers > 0)
            text += QStringLiteral("，%1个轨迹点的时间、日期或坐标不是数字，未写入").arg(o.notNumbers);
        break;
    }
    if (o.impossible > 0)
        text += QStringLiteral("，%1个轨迹点的坐标不可能存在，未写入").arg(o.impossible);
    return text + QStringLiteral("。");
}

} // namespace trekport
