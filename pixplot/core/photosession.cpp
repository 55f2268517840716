#include "core/photosession.h"

#include "core/mediaformat.h"

#include "core/pathfile.h"
#include "core/systemfinction.h"

#include "common/safefile.h"

#include <QEventLoop>
#include <QFileInfo>

#include <utility>

namespace pixplot {

QString BatchResult::message() const
{
    if (cancelled)
        return photooutput::cancelledBatchMessage(finished, failed);
    return photooutput::batchMessage(rows, failed,
                                     gpsAsked ? std::optional<qint64>(gpsWritten) : std::nullopt,
                                     framingSkipped);
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

PhotoSession::PhotoSession(QObject *parent) : QObject(parent)
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
                rows_.append({record, record.shotTime, QString()});
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
    emit rowRemoved(row);
}

void PhotoSession::clearRows()
{
    rows_.clear();
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
    if (!points_.isEmpty())
        emit pathChanged();
}

PathLoad PhotoSession::loadPath(const QString &file, PathKeep keep)
{
    forgetPoints();
    keep_ = keep;
    pathFile_ = QFileInfo(file).absoluteFilePath();
    PathLoad load;
    if (keep == PathKeep::Points) {
        QString error;
        if (!pathfile::ReadPathFile(file, &points_, &error, zone(), &untimed_))
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

void PhotoSession::correctClock(const photomatch::ClockOffset &offset)
{
    photomatch::applyCorrection(rows_, offset);
    emit rowsChanged();
}

photomatch::MatchSummary PhotoSession::match()
{
    const photomatch::MatchSummary summary = photomatch::matchRows(rows_, points_, options_);
    emit rowsChanged();
    return summary;
}

void PhotoSession::clearPositions()
{
    for (PhotoRow &row : rows_)
        row.position.clear();
    emit rowsChanged();
}

void PhotoSession::clearPosition(qsizetype row)
{
    if (row < 1 || row > rows_.size())
        return;
    rows_[row - 1].position.clear();
    emit rowChanged(row);
}

bool PhotoSession::assignPosition(qsizetype row, qsizetype pathRow)
{
    if (row < 1 || row > rows_.size() || pathRow < 1 || pathRow > points_.size()
        || !rows_.at(row - 1).record.hasExif)
        return false;
    rows_[row - 1].position = points_.at(pathRow - 1).positionText();
    emit rowChanged(row);
    return true;
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
        photooutput::ProcessPhoto(current.record, row, current.timeText, current.position, withZone(options));
    current.failure = out.ok() ? QString() : photooutput::failureText(out);
    if (out.ok()) {
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
    return framed_.contains(rec.folder + rec.fileName);
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
        items.append({r.record, r.timeText, r.position, row});
    }
    batchFrames_ = options.frame;
    batchResult_ = {};
    batchResult_.gpsAsked = options.writeGps;
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
    // Rows cannot change while the batch runs; the guard is for safety.
    if (row >= 1 && row <= rows_.size()) {
        PhotoRow &r = rows_[row - 1];
        r.failure = outcome.ok() ? QString() : photooutput::failureText(outcome);
        if (outcome.ok()) {
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
