#include "core/photosession.h"

#include "core/mappage.h"
#include "core/mediaformat.h"

#include "core/pathfile.h"
#include "core/datetimetext.h"
#include "core/nmeasentence.h"

#include "common/safefile.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

#include <utility>

namespace pixplot {

QString BatchResult::message() const
{
    if (cancelled)
        return photooutput::cancelledBatchMessage(finished, failed);
    return photooutput::batchMessage(rows, failed,
                                     gpsAsked ? std::optional<qint64>(gpsWritten) : std::nullopt,
                                     framingSkipped, alreadyFramed);
}

QString BatchResult::messageWithFailures() const
{
    QString text = message();
    for (const QString &line : failures.first(std::min(failures.size(), kListedFailures)))
        text += QStringLiteral("\r\n") + line;
    if (failures.size() > kListedFailures)
        text += QStringLiteral("\r\n……另有 %1 个照片处理失败，已在列表中标出。")
                    .arg(failures.size() - kListedFailures);
    return text;
}

QString BatchResult::unplacedMessage() const
{
    if (unplaced.isEmpty())
        return {};
    return QStringLiteral("以下照片没有坐标，未写入GPS信息：\r\n") + unplaced.join(QStringLiteral("\r\n"));
}

QString timeSpanText(const PathPoint &first, const PathPoint &last)
{
    return first.pointTime() + QStringLiteral(" to ") + last.pointTime();
}

QString fileBaseOf(const QString &pathFile)
{
    return pathFile.left(std::max<qsizetype>(0, pathFile.size() - 4));
}

QString PhotoReject::why() const
{
    return kind == Kind::NotJpeg ? QStringLiteral("不是支持的照片或视频文件") : reason;
}

QString PathLoad::message(const QString &file) const
{
    if (ok())
        return photomatch::pathLoadedMessage(points, untimed);
    return QStringLiteral("路径文件未能完整读取：\r\n%1\r\n原因：%2\r\n只加载了出错前的 %3 个轨迹点，其余未加载。")
        .arg(file, error)
        .arg(points);
}

PhotoSession::PhotoSession(QObject *parent)
    : QObject(parent), tilesText_(mappage::defaultTiles().urlTemplate)
{
}

PhotoSession::~PhotoSession() = default;

// ---------------------------------------------------------------- photos

PhotoLoad PhotoSession::addPhotos(const QStringList &files,
                                  const std::function<void(qint64, qint64)> &progress)
{
    PhotoLoad load;
    const qint64 n = files.size();
    rows_.reserve(rows_.size() + n);
    for (qint64 k = 1; k <= n; ++k) {
        const QString &file = files.at(k - 1);
        // A FIFO or device would block or never end: refused before it is opened.
        QString reason;
        if (!common::checkInputFile(file, &reason)) {
            const bool missing = !QFileInfo::exists(file);
            load.rejects.append(
                {file, missing ? PhotoReject::Kind::Missing : PhotoReject::Kind::NotRegular, reason});
        } else {
            const QFileInfo info(file);
            QString folder = info.absolutePath();
            if (!folder.endsWith(QLatin1Char('/')))
                folder += QLatin1Char('/');
            QString noTime;
            const PhotoRecord record = mediaformat::readRecord(info.fileName(), folder, &noTime);
            if (record.fileName.isEmpty()) {
                load.rejects.append({file, PhotoReject::Kind::NotJpeg, QString()});
            } else {
                rows_.append({record, correctedTime(record), QString()});
                load.names << record.fileName;
                ++load.loaded;
                load.withExif += record.hasExif ? 1 : 0;
                if (!record.hasExif && !mediaformat::isJpeg(record.fileName))
                    load.untimed.append({file, noTime});
            }
        }
        if (progress)
            progress(k, n);
    }
    if (load.loaded > 0)
        emit rowsAppended();
    return load;
}

void PhotoSession::removeRow(qsizetype row)
{
    if (row < 1 || row > rows_.size())
        return;
    rows_.removeAt(row - 1);
    // Placements of later rows now name other photos: undo stops here.
    placements_.clear();
    emit rowRemoved(row);
}

void PhotoSession::clearRows()
{
    rows_.clear();
    placements_.clear();
    emit rowsReset();
}

QStringList PhotoSession::rowTexts() const
{
    QStringList lines;
    lines.reserve(rows_.size());
    for (const PhotoRow &row : rows_)
        lines << row.record.fileName + QLatin1Char('\t') + row.timeText + QLatin1Char('\t') + row.position;
    return lines;
}

// ------------------------------------------------------------------ path

void PhotoSession::setZone(const common::TimeZoneSetting &zone)
{
    if (zone == options_.zone)
        return;
    options_.zone = zone;
    for (PathPoint &p : points_) {
        const qint64 utc = p.utcSeconds();
        p.zoneOffset = zone.offsetAtUtc(utc);
        p.localSeconds = utc + p.zoneOffset;
    }
    if (points_.isEmpty())
        return;
    emit pathChanged();
    // The photos without a zone of their own now mean other instants.
    if (matched_)
        match();
}

PathLoad PhotoSession::loadPath(const QString &file, PathKeep keep)
{
    forgetPoints();
    keep_ = keep;
    pathFile_ = QFileInfo(file).absoluteFilePath();
    PathLoad load;
    if (keep == PathKeep::Points) {
        QString error;
        if (!pathfile::readPathFile(file, &points_, &error, zone(), &untimed_))
            load.error = error.isEmpty() ? QStringLiteral("读取失败") : error;
    } else {
        readPositions(file, &load.error);
    }
    load.points = pathPointCount();
    load.untimed = untimed_;
    emit pathChanged();
    return load;
}

void PhotoSession::readPositions(const QString &file, QString *error)
{
    // The conversions need the positions and the first and last time only:
    // the points are read as a stream and kept as plain numbers.
    pathfile::PathReader reader;
    if (!reader.open(file, error, zone()))
        return;
    positions_.reserve(reader.expectedPoints());
    PathPoint p, first;
    while (reader.next(&p)) {
        if (positions_.isEmpty())
            first = p;
        positions_.append(systemfinction::ParsePositionText(p.positionText()));
    }
    untimed_ = reader.untimed();
    if (reader.failed()) {
        *error = reader.errorString();
        positions_.clear();
        return;
    }
    if (!positions_.isEmpty())
        timeSpan_ = timeSpanText(first, p);
}

void PhotoSession::clearPath()
{
    forgetPoints();
    emit pathChanged();
}

void PhotoSession::forgetPoints()
{
    points_.clear();
    positions_.clear();
    timeSpan_.clear();
    untimed_ = 0;
}

// --------------------------------------------------- clock and matching

QStringList PhotoSession::cameras() const
{
    QStringList list;
    QSet<QString> seen;
    for (const PhotoRow &row : rows_) {
        if (!seen.contains(row.record.camera)) {
            seen.insert(row.record.camera);
            list << row.record.camera;
        }
    }
    return list;
}

cameraclock::Clock PhotoSession::clockOf(const QString &camera) const
{
    return clocks_.value(camera, allClock_);
}

QString PhotoSession::correctedTime(const PhotoRecord &record) const
{
    if (!record.hasExif)
        return record.shotTime;
    const std::optional<qint64> t = systemfinction::calendarSecondsOf(record.shotTime);
    const auto own = clocks_.constFind(record.camera);
    const qint64 correction = t ? (own != clocks_.cend() ? *own : allClock_).correctionAt(*t) : 0;
    // Always from the camera's own time, so correcting twice is idempotent.
    return correction == 0 ? record.shotTime : systemfinction::formatCalendarSeconds(*t + correction);
}

void PhotoSession::applyClocks()
{
    for (PhotoRow &row : rows_)
        row.timeText = correctedTime(row.record);
    // One notice either way: matching again tells of the rows itself.
    if (matched_ && !points_.isEmpty())
        match();
    else
        emit rowsChanged();
}

void PhotoSession::setCorrection(const QString &camera, qint64 seconds)
{
    if (camera == cameraclock::allCameras()) {
        allClock_.setFixed(seconds);
        clocks_.clear();
    } else {
        clocks_[camera].setFixed(seconds);
    }
    applyClocks();
}

void PhotoSession::correctClock(const photomatch::ClockOffset &offset)
{
    const qint64 seconds = offset.hours * 3600 + offset.minutes * 60 + offset.seconds;
    setCorrection(cameraclock::allCameras(), offset.negative ? -seconds : seconds);
}

bool PhotoSession::syncFromPhoto(qsizetype row, const QString &shown, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (row < 1 || row > rows_.size() || !rows_.at(row - 1).record.hasExif)
        return fail(QStringLiteral("照片没有拍摄时间。"));
    const PhotoRecord &record = rows_.at(row - 1).record;
    const std::optional<qint64> camera = systemfinction::calendarSecondsOf(record.shotTime);
    // With its zone the time is an instant; without, a time of the zone box.
    const QDateTime withZone = QDateTime::fromString(shown.trimmed(), Qt::ISODate);
    std::optional<qint64> instant;
    if (withZone.isValid() && withZone.timeSpec() != Qt::LocalTime)
        instant = withZone.toSecsSinceEpoch();
    else if (const auto local = systemfinction::calendarSecondsOf(QString(shown.trimmed()).replace(QLatin1Char('T'), QLatin1Char(' '))))
        instant = zone().utcFromLocal(*local);
    if (!camera || !instant)
        return fail(QStringLiteral("“%1”不是有效的时间，应如 2026-05-12T09:03:27+02:00。").arg(shown));
    const qint64 photoAt = photomatch::photoInstant(*camera, record, zone());
    cameraclock::Clock clock = clockOf(record.camera);
    clock.addSync({*camera, *instant - photoAt});
    clocks_[record.camera] = clock;
    applyClocks();
    return true;
}

QHash<QString, qint64> PhotoSession::cameraCorrections() const
{
    QHash<QString, qint64> all;
    for (auto it = clocks_.cbegin(); it != clocks_.cend(); ++it)
        all.insert(it.key(), it.value().baseCorrection());
    all.insert(cameraclock::allCameras(), allClock_.baseCorrection());
    return all;
}

std::vector<qint64> PhotoSession::photoInstants(const QString *camera) const
{
    std::vector<qint64> instants;
    instants.reserve(size_t(rows_.size()));
    for (const PhotoRow &row : rows_) {
        if (!row.record.hasExif || row.byHand || (camera && row.record.camera != *camera))
            continue;
        if (const auto t = systemfinction::calendarSecondsOf(row.timeText))
            instants.push_back(photomatch::photoInstant(*t, row.record, zone()));
    }
    return instants;
}

photomatch::OffsetSuggestion PhotoSession::suggestOffset() const
{
    const photomatch::PathTimes times(points_, options_.maxGap, options_.tolerance);
    return photomatch::suggestOffset(photoInstants(), times);
}

void PhotoSession::applyShift(qint64 shift)
{
    const photomatch::PathTimes times(points_, options_.maxGap, options_.tolerance);
    QStringList helped;
    const QStringList all = cameras();
    for (const QString &camera : all) {
        const std::vector<qint64> instants = photoInstants(&camera);
        if (times.countInside(instants, shift) > times.countInside(instants, 0))
            helped << camera;
    }
    if (helped.size() == all.size()) {
        // Every camera: the correction for all moves with them.
        allClock_.shift(shift);
        for (cameraclock::Clock &clock : clocks_)
            clock.shift(shift);
    } else {
        for (const QString &camera : std::as_const(helped)) {
            cameraclock::Clock clock = clockOf(camera);
            clock.shift(shift);
            clocks_[camera] = clock;
        }
    }
    applyClocks();
}

photomatch::MatchSummary PhotoSession::match()
{
    const photomatch::MatchSummary summary = photomatch::matchRows(rows_, points_, options_);
    matched_ = true;
    emit rowsChanged();
    return summary;
}

QString PhotoSession::missingPositionReason(qsizetype row) const
{
    return missingPositionReason(row, pathSpan());
}

std::pair<qint64, qint64> PhotoSession::pathSpan() const
{
    std::pair<qint64, qint64> span{std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    for (const PathPoint &p : points_) {
        span.first = std::min(span.first, p.utcSeconds());
        span.second = std::max(span.second, p.utcSeconds());
    }
    return span;
}

QString PhotoSession::missingPositionReason(qsizetype row, std::pair<qint64, qint64> span) const
{
    if (row < 1 || row > rows_.size() || !rows_.at(row - 1).position.isEmpty())
        return {};
    const PhotoRow &r = rows_.at(row - 1);
    const std::optional<qint64> t = systemfinction::calendarSecondsOf(r.timeText);
    if (!r.record.hasExif || !t)
        return QStringLiteral("没有拍摄时间");
    if (points_.isEmpty())
        return QStringLiteral("没有路径");
    const qint64 at = photomatch::photoInstant(*t, r.record, zone());
    return at >= span.first && at <= span.second
        ? QStringLiteral("与最近的轨迹点相差超过容差 %1 秒").arg(options_.tolerance)
        : QStringLiteral("不在路径的时间范围内");
}

qsizetype PhotoSession::unplacedCount() const
{
    return std::count_if(rows_.cbegin(), rows_.cend(), [](const PhotoRow &r) { return r.position.isEmpty(); });
}

QStringList PhotoSession::unplacedReport() const
{
    const std::pair<qint64, qint64> span = pathSpan(); // once for all rows
    QStringList lines;
    for (qsizetype row = 1; row <= rows_.size(); ++row) {
        const QString why = missingPositionReason(row, span);
        if (!why.isEmpty()) {
            const PhotoRecord &rec = rows_.at(row - 1).record;
            lines << rec.folder + rec.fileName + QStringLiteral(": ") + why;
        }
    }
    return lines;
}

void PhotoSession::clearPositions()
{
    for (PhotoRow &row : rows_) {
        row.position.clear();
        row.degrees.reset();
        row.motion = {};
        row.byHand = false;
    }
    matched_ = false;
    placements_.clear();
    emit rowsChanged();
}

void PhotoSession::clearPosition(qsizetype row)
{
    if (row < 1 || row > rows_.size())
        return;
    rows_[row - 1].position.clear();
    rows_[row - 1].degrees.reset();
    rows_[row - 1].motion = {};
    rows_[row - 1].byHand = false;
    emit rowChanged(row);
}

bool PhotoSession::assignPosition(qsizetype row, qsizetype pathRow)
{
    if (row < 1 || row > rows_.size() || pathRow < 1 || pathRow > points_.size()
        || !rows_.at(row - 1).record.hasExif)
        return false;
    rows_[row - 1].position = points_.at(pathRow - 1).positionText();
    rows_[row - 1].degrees = points_.at(pathRow - 1).exactDegrees();
    rows_[row - 1].motion = points_.at(pathRow - 1).motion;
    rows_[row - 1].byHand = true;
    emit rowChanged(row);
    return true;
}

bool PhotoSession::placeByHand(qsizetype row, const GeoPoint &at)
{
    if (row < 1 || row > rows_.size() || !std::isfinite(at.latitude) || !std::isfinite(at.longitude)
        || std::abs(at.latitude) > 90 || std::abs(at.longitude) > 180)
        return false;
    PhotoRow &r = rows_[row - 1];
    placements_.append({row, r.position, r.degrees, r.motion, r.byHand});
    r.position = systemfinction::positionTextFromDegrees(at.latitude, at.longitude);
    r.degrees = at;
    // The altitude, speed and course of a fix belong to its place, not this one.
    r.motion = {};
    r.byHand = true;
    emit rowChanged(row);
    return true;
}

bool PhotoSession::undoPlacement()
{
    if (placements_.isEmpty())
        return false;
    const Placement last = placements_.takeLast();
    if (last.row < 1 || last.row > rows_.size())
        return false;
    rows_[last.row - 1].position = last.position;
    rows_[last.row - 1].degrees = last.degrees;
    rows_[last.row - 1].motion = last.motion;
    rows_[last.row - 1].byHand = last.byHand;
    emit rowChanged(last.row);
    return true;
}

void PhotoSession::setTilesText(const QString &text)
{
    if (text == tilesText_)
        return;
    tilesText_ = text;
    emit tilesChanged();
}

// ---------------------------------------------------------------- output

void PhotoSession::rememberFramed(qsizetype row)
{
    const PhotoRecord &rec = rows_.at(row - 1).record;
    framed_.insert(rec.folder + rec.fileName);
}

photooutput::Options PhotoSession::withZone(photooutput::Options options) const
{
    options.zone = zone();
    return options;
}

photooutput::Outcome PhotoSession::processPhoto(qsizetype row, const photooutput::Options &options)
{
    if (row < 1 || row > rows_.size()) {
        photooutput::Outcome missing;
        missing.failure = photooutput::Failure::Missing;
        return missing;
    }
    PhotoRow &current = rows_[row - 1];
    const photooutput::Outcome out =
        photooutput::ProcessPhoto(current.record, row, current.timeText, current.position, withZone(options),
                                  current.motion, current.degrees);
    current.failure = out.ok() ? QString() : photooutput::failureText(out);
    if (out.ok() && !out.alreadyFramed) {
        current.record.fileName = out.fileName;
        if (options.frame)
            rememberFramed(row);
    }
    emit rowChanged(row); // renamed, or marked as failed
    return out;
}

bool PhotoSession::framedBefore(qsizetype row) const
{
    if (row < 1 || row > rows_.size())
        return false;
    const PhotoRecord &rec = rows_.at(row - 1).record;
    return framed_.contains(rec.folder + rec.fileName)
        || photooutput::carriesFrameMark(rec.folder + rec.fileName);
}

qint64 PhotoSession::framedBeforeCount() const
{
    qint64 count = 0;
    for (qsizetype row = 1; row <= rows_.size(); ++row)
        count += framedBefore(row) ? 1 : 0;
    return count;
}

bool PhotoSession::startBatch(const photooutput::Options &options, int jobs, bool skipFramed)
{
    if (batch_)
        return false;
    QList<photobatch::Item> items;
    items.reserve(rows_.size());
    for (qsizetype row = 1; row <= rows_.size(); ++row) {
        if (skipFramed && framedBefore(row))
            continue;
        const PhotoRow &r = rows_.at(row - 1);
        items.append({r.record, r.timeText, r.position, row, r.motion, r.degrees});
    }
    batchFrames_ = options.frame;
    batchResult_ = {};
    batchResult_.gpsAsked = options.writeGps;
    if (options.writeGps)
        batchResult_.unplaced = unplacedReport();
    batch_ = std::make_unique<photobatch::PhotoBatch>(items, withZone(options), std::max(1, jobs));
    connect(batch_.get(), &photobatch::PhotoBatch::photoDone, this, &PhotoSession::onBatchPhotoDone);
    connect(batch_.get(), &photobatch::PhotoBatch::progress, this, &PhotoSession::batchProgress);
    connect(batch_.get(), &photobatch::PhotoBatch::done, this, &PhotoSession::onBatchDone);
    batch_->start();
    return true;
}

void PhotoSession::cancelBatch()
{
    if (batch_)
        batch_->cancel();
}

BatchResult PhotoSession::runBatch(const photooutput::Options &options, int jobs)
{
    BatchResult result;
    QEventLoop loop;
    const auto finished = connect(this, &PhotoSession::batchFinished, &loop, [&](const BatchResult &r) {
        result = r;
        loop.quit();
    });
    if (startBatch(options, jobs) && batch_)
        loop.exec();
    disconnect(finished);
    return result;
}

void PhotoSession::onBatchPhotoDone(qint64 index, const photooutput::Outcome &outcome)
{
    const qsizetype row = batch_->item(index).row;
    if (!outcome.ok())
        batchResult_.failures.append(
            QStringLiteral("照片 %1 处理失败: %2")
                .arg(batch_->item(index).record.fileName, photooutput::failureText(outcome)));
    batchResult_.gpsWritten += outcome.ok() && outcome.gpsWritten ? 1 : 0;
    batchResult_.framingSkipped += outcome.ok() && outcome.framingSkipped ? 1 : 0;
    batchResult_.alreadyFramed += outcome.alreadyFramed ? 1 : 0;
    // Rows cannot change while the batch runs; the guard is for safety.
    if (row >= 1 && row <= rows_.size()) {
        PhotoRow &r = rows_[row - 1];
        r.failure = outcome.ok() ? QString() : photooutput::failureText(outcome);
        if (outcome.ok() && !outcome.alreadyFramed) {
            r.record.fileName = outcome.fileName;
            if (batchFrames_)
                rememberFramed(row);
        }
        emit rowChanged(row); // renamed, or marked as failed
    }
    emit batchPhotoDone(row, outcome);
}

void PhotoSession::onBatchDone()
{
    // The batch is deleted once its signal has returned.
    photobatch::PhotoBatch *batch = batch_.release();
    batch->deleteLater();
    batchResult_.rows = rows_.size();
    batchResult_.finished = batch->finishedCount();
    batchResult_.failed = batch->failedCount();
    batchResult_.cancelled = batch->wasCancelled();
    emit batchFinished(batchResult_);
}

// ----------------------------------------------------------- conversions

ConversionInput PhotoSession::conversionInput() const
{
    ConversionInput in;
    in.fileBase = pathFileBase();
    if (keep_ == PathKeep::PositionsOnly) {
        in.path.points = positions_;
        in.path.timeSpan = timeSpan_;
    } else {
        in.path.points.reserve(points_.size());
        for (const PathPoint &p : points_)
            in.path.points.append(systemfinction::ParsePositionText(p.positionText()));
        if (!points_.isEmpty())
            in.path.timeSpan = timeSpanText(points_.first(), points_.last());
    }
    in.path.count = in.path.points.size();
    return in;
}

} // namespace pixplot
