#include "core/photooutput.h"

#include "core/mediaformat.h"
#include "core/photofiles.h"
#include "core/xmpsidecar.h"

#include "common/bmp2jpg.h"
#include "common/cjkfont.h"
#include "common/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>

#include <cstdlib>
#include <limits>
#include <mutex>
#include <unistd.h>

namespace pixplot::photooutput {

QString newFileName(const PhotoRecord &record, const QString &timeText, RenameMode mode,
                    const QString &prefix, qint64 row)
{
    const qsizetype dot = record.fileName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot > 0 ? record.fileName.mid(dot) : QString();
    switch (mode) {
    case RenameMode::Keep:
        break;
    case RenameMode::ByTime:
        if (record.hasExif && !timeText.isEmpty()) {
            QString stem = timeText;
            stem.remove(QLatin1Char('-'))
                .remove(QLatin1Char(':'))
                .replace(QLatin1Char(' '), QLatin1Char('_'));
            return stem + ext;
        }
        break;
    case RenameMode::ByPrefix:
        return prefix + QStringLiteral("%1").arg(row, 4, 10, QLatin1Char('0')) + ext;
    }
    return record.fileName;
}

bool isUsablePrefix(const QString &prefix)
{
    return !prefix.contains(QLatin1Char('/')) && !prefix.contains(QLatin1Char('\\'))
        && prefix != QLatin1String(".") && prefix != QLatin1String("..");
}

QString badPrefixMessage(const QString &prefix)
{
    return QStringLiteral("重命名前缀“%1”无效：不能含有“/”或“\\”，也不能是“.”或“..”。照片未处理。")
        .arg(prefix);
}

QString captionText(const QString &note, const QString &position, const QString &timeText, bool withGps,
                    bool withTime)
{
    return QLatin1Char(' ') + note + QStringLiteral("  ") + (withGps ? position : QString())
        + QStringLiteral("  ") + (withTime ? timeText : QString());
}

QSize framedSize(const QSize &photo)
{
    return {photo.width() + 2 * kSideBorder, photo.height() + kSideBorder + kCaptionRow + kBottomStrip};
}

QImage readUprightPhoto(const QString &path)
{
    QImage image;
    readUprightPhoto(path, &image);
    return image;
}

qint64 machineMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
}

qint64 decodePixelLimit()
{
    static const qint64 limit = std::max<qint64>(200'000'000, machineMemory() / 4 / 4);
    return limit;
}

QString oversizeReason(const QSize &claimed)
{
    if (!claimed.isValid() || qint64(claimed.width()) * claimed.height() <= decodePixelLimit())
        return {};
    return QStringLiteral("照片尺寸 %1×%2 超过可以处理的上限 %3 百万像素")
        .arg(claimed.width())
        .arg(claimed.height())
        .arg(decodePixelLimit() / 1'000'000);
}

qint64 memoryEstimate(const QString &path, const Options &options)
{
    const qint64 file = QFileInfo(path).size();
    if (!options.frame)
        return 2 * file; // the photo read, the tagged copy written
    const QSize size = QImageReader(path).size();
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    // The decoded photo, the framed picture, the file and its encoding.
    return 8 * std::min(pixels, decodePixelLimit()) + 2 * file;
}

bool readUprightPhoto(const QString &path, QImage *into, QString *reason)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A header's size is a claim: an 8 KB file may claim gigapixels. It is
    // checked before the reader allocates anything for the pixels.
    const QSize size = reader.size();
    const QString tooLarge = oversizeReason(size);
    if (!tooLarge.isEmpty()) {
        *into = QImage();
        if (reason)
            *reason = tooLarge;
        return false;
    }
    // Qt refuses to decode more than 128 MB (about 33.5 megapixels) by
    // default; a framed photo needs all its pixels, so the limit (one for
    // the whole program) is raised to what this photo takes, never lowered.
    // Should memory really run out, the read fails.
    if (size.isValid()) {
        static std::mutex limitMutex; // batch workers read photos side by side
        const std::lock_guard lock(limitMutex);
        const qint64 megabytes = (qint64(size.width()) * size.height() * 4 >> 20) + 1;
        if (megabytes > QImageReader::allocationLimit())
            QImageReader::setAllocationLimit(int(qMin<qint64>(megabytes, std::numeric_limits<int>::max())));
    }
    // The reader decodes into *into when its size and format fit already.
    if (!reader.read(into)) {
        *into = QImage();
        return false;
    }
    return true;
}

QImage ComposeFramedImage(const QImage &photo, const QString &caption, const QColor &background)
{
    QImage framed;
    if (!ComposeFramedImage(photo, caption, background, &framed))
        return {};
    return framed;
}

bool ComposeFramedImage(const QImage &photo, const QString &caption, const QColor &background, QImage *into)
{
    if (photo.isNull())
        return false;
    QImage &framed = *into;
    if (framed.size() != framedSize(photo.size()) || framed.format() != QImage::Format_RGB32)
        framed = QImage(framedSize(photo.size()), QImage::Format_RGB32);
    if (framed.isNull()) // too large to allocate
        return false;
    framed.fill(background);

    QPainter painter(&framed);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(kSideBorder, kSideBorder, photo);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // The caption cell spans the photo's width; text past it is cut off.
    const QRect row(kSideBorder, kSideBorder + photo.height(), photo.width(), kCaptionRow);
    painter.setClipRect(row);
    painter.setPen(Qt::black);
    // The family list may resolve to a face taller than the row (Noto Serif
    // CJK where 宋体 is missing): the text is placed by its own ink, centred
    // in the row, and drawn smaller only when that ink is taller than the row
    // leaves room for, so no descender or bracket loses its bottom.
    QFont font = common::songTiFont(15, true);
    int pixelSize = kCaptionPixelSize;
    const qreal room = kCaptionRow - 2; // one clear pixel above and below
    QRectF ink;
    for (;;) {
        font.setPixelSize(pixelSize);
        ink = QFontMetricsF(font).tightBoundingRect(caption);
        if (ink.height() <= room || pixelSize <= 1)
            break;
        pixelSize = qMin(pixelSize - 1, int(pixelSize * room / ink.height()));
    }
    painter.setFont(font);
    const qreal baseline = row.top() + (row.height() - ink.height()) / 2 - ink.top();
    painter.drawText(QPointF(row.left(), baseline), caption);
    painter.end();
    return true;
}

namespace {

bool readWholeFile(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// The framed picture encoded, with the source's metadata (and the GPS
// tags) carried over and the mark of a frame.
bool framedContent(const QByteArray &source, const QImage &framed, const gpstagwriter::GpsTags *gps,
                   QByteArray *marked, Outcome *out)
{
    QByteArray encoded, tagged;
    if (!BMP2JPG::encodePictureAsJpeg(framed, kJpegQuality, &encoded)) {
        out->failure = Failure::WriteFailed;
        return false;
    }
    if (!gpstagwriter::carryMetadata(source, encoded, framed.size(), gps, &tagged, &out->reason)
        || !gpstagwriter::markFramed(tagged, marked, &out->reason)) {
        out->failure = Failure::MetadataFailed;
        return false;
    }
    return true;
}

} // namespace

Prepared preparePhoto(const PhotoRecord &record, qint64 row, const QString &timeText, const Options &options)
{
    Prepared p;
    Outcome &out = p.outcome;
    out.fileName = record.fileName;
    p.src = record.folder + record.fileName;
    if (record.fileName.isEmpty() || !QFileInfo(p.src).isFile()) {
        out.failure = Failure::Missing;
        return p;
    }
    if (options.rename == RenameMode::ByPrefix && !isUsablePrefix(options.prefix)) {
        out.failure = Failure::RenameFailed;
        return p;
    }
    if (options.frame && !options.reframe && carriesFrameMark(p.src)) {
        out.alreadyFramed = true;
        return p;
    }
    // Without its backup the photo is not touched at all.
    if (options.backup && !systemfinction::BackupPhotoFile(record, &out.backupPath, &out.reason)) {
        out.failure = Failure::BackupFailed;
        return p;
    }
    p.wantedName = newFileName(record, timeText, options.rename, options.prefix, row);
    p.newName = p.wantedName;
    if (p.newName != record.fileName) {
        p.nameNumber = systemfinction::freeNameNumber(record.folder, p.wantedName, p.src);
        p.newName = systemfinction::numberedFileName(p.wantedName, p.nameNumber);
    }
    p.dst = record.folder + p.newName;
    return p;
}

namespace {

// The tags the row's position and time give, or none when no GPS is written.
std::optional<gpstagwriter::GpsTags> gpsTagsFor(const PhotoRecord &record, const QString &timeText,
                                                const QString &position, const Options &options,
                                                const FixMotion &motion, const std::optional<GeoPoint> &degrees)
{
    if (!options.writeGps)
        return std::nullopt;
    // A photo whose metadata names its own offset keeps its time in it.
    const int own = record.utcOffset.value_or(0);
    const std::optional<common::TimeZoneSetting> ownZone = record.utcOffset
        ? common::TimeZoneSetting::parse(QStringLiteral("UTC%1%2:%3")
                                             .arg(own < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                             .arg(std::abs(own) / 3600, 2, 10, QLatin1Char('0'))
                                             .arg(std::abs(own) / 60 % 60, 2, 10, QLatin1Char('0')))
        : std::nullopt;
    return gpstagwriter::tagsForRow(position, timeText, ownZone.value_or(options.zone), motion, degrees);
}

bool writeSidecarFix(const QString &src, const gpstagwriter::GpsTags &gps, Outcome *out)
{
    xmpsidecar::Fix fix;
    fix.latitude = gps.latitude;
    fix.longitude = gps.longitude;
    fix.utc = gps.utc;
    fix.altitude = gps.altitude;
    fix.speedKmh = gps.speedKmh;
    fix.track = gps.track;
    if (!xmpsidecar::writeFix(src, fix, &out->sidecarPath, &out->reason)) {
        out->failure = Failure::MetadataFailed;
        return false;
    }
    return true;
}

// The photo's new content, made before any file changes: the framed photo,
// or source with the GPS tags, whose image data is copied, not encoded
// again. No pieces: nothing to write. False when out holds the failure.
bool makeContent(const QString &src, const QByteArray &source, bool frame,
                 const std::optional<gpstagwriter::GpsTags> &gps, const QString &caption,
                 const Options &options, FrameBuffers *buffers, QByteArray *head,
                 QList<QByteArrayView> *pieces, Outcome *out)
{
    if (frame) {
        FrameBuffers own;
        FrameBuffers &b = buffers ? *buffers : own;
        if (!readUprightPhoto(src, &b.photo, &out->reason)) {
            out->failure = Failure::Unreadable;
            return false;
        }
        if (!ComposeFramedImage(b.photo, caption, options.background, &b.framed)) {
            out->failure = Failure::WriteFailed;
            return false;
        }
        if (!framedContent(source, b.framed, gps ? &*gps : nullptr, head, out))
            return false;
        *pieces = {*head};
    } else if (gps) {
        qsizetype body = 0;
        if (!gpstagwriter::writeGpsTags(source, *gps, head, &body, &out->reason)) {
            out->failure = Failure::MetadataFailed;
            return false;
        }
        *pieces = {*head, QByteArrayView(source).sliced(body)};
    }
    return true;
}

// The photo takes its new name first, the first one free at that very
// moment, and then its new content in place: a crash in between leaves
// one photo, unchanged but for its name, which a later run completes. Its
// sidecars (companions) follow it.
bool renameAndWrite(const PhotoRecord &record, const Prepared &prepared, const QList<QByteArrayView> &pieces,
                    const QStringList &companions, Outcome *out)
{
    const QString &src = prepared.src;
    QString newName = prepared.newName;
    QString path = src;
    if (newName != record.fileName) {
        if (!common::renameToFreeName(
                src, systemfinction::freeNames(record.folder, prepared.wantedName, prepared.nameNumber, src),
                &path, &out->reason)) {
            out->failure = Failure::RenameFailed;
            return false;
        }
        newName = path.mid(record.folder.size());
    }
    // The replacement keeps the photo's permissions and owner.
    if (!pieces.isEmpty() && !common::writePiecesAtomically(path, pieces, &out->reason)) {
        out->failure = Failure::WriteFailed;
        // Back under its old name, as it was; should that have been taken
        // meanwhile, the photo stays under the new one.
        if (path != src && !common::renameWithoutReplacing(path, src))
            out->fileName = newName;
        return false;
    }
    for (const QString &c : companions) {
        const QString to = xmpsidecar::companionFor(c, src, path);
        // The new name was chosen free for the sidecars too; should one have
        // appeared since, the sidecar keeps its name rather than replace it.
        if (common::renameWithoutReplacing(c, to, &out->reason) && c == out->sidecarPath)
            out->sidecarPath = to;
    }
    out->fileName = newName;
    return true;
}

} // namespace

Outcome completePhoto(const PhotoRecord &record, const Prepared &prepared, const QString &timeText,
                      const QString &position, const Options &options, FrameBuffers *buffers,
                      const FixMotion &motion, const std::optional<GeoPoint> &degrees)
{
    Outcome out = prepared.outcome;
    if (prepared.finished())
        return out;
    const QString &src = prepared.src;
    std::optional<gpstagwriter::GpsTags> gps = gpsTagsFor(record, timeText, position, options, motion, degrees);
    const mediaformat::Format *format = mediaformat::formatOf(record.fileName);
    const bool frame = options.frame && format && format->framable;
    out.framingSkipped = options.frame && !frame;
    // The formats that are never written, and every photo when the user
    // asks, get their position in a sidecar; the photo is not opened for
    // writing at all.
    const bool sidecar = gps && usesSidecar(record.fileName, options.sidecar);
    if (sidecar) {
        if (!writeSidecarFix(src, *gps, &out))
            return out;
        gps.reset();
    }
    // Sidecars follow the photo to its new name; listed before the photo
    // moves, as the shared NAME.xmp is told by the photos beside it.
    const QStringList companions =
        prepared.dst != src ? xmpsidecar::companions(src) : QStringList();

    // Metadata goes on through exiv2, which works on the bytes in memory.
    QByteArray source;
    if ((frame || gps) && !readWholeFile(src, &source, &out.reason)) {
        out.failure = Failure::Unreadable;
        return out;
    }
    QByteArray head;
    QList<QByteArrayView> pieces;
    const QString caption =
        frame ? captionText(options.note, position, timeText, options.withGps, options.withTime) : QString();
    if (!makeContent(src, source, frame, gps, caption, options, buffers, &head, &pieces, &out))
        return out;
    if (!renameAndWrite(record, prepared, pieces, companions, &out))
        return out;
    out.gpsWritten = gps.has_value() || sidecar;
    return out;
}

bool usesSidecar(const QString &fileName, SidecarMode mode)
{
    const mediaformat::Format *format = mediaformat::formatOf(fileName);
    return mode == SidecarMode::Always || !format || !format->positionInFile;
}

QString framingSkippedText(const QString &fileName)
{
    return QStringLiteral("%1 不是JPEG照片，未加边框").arg(fileName);
}

Outcome ProcessPhoto(const PhotoRecord &record, qint64 row, const QString &timeText, const QString &position,
                     const Options &options, const FixMotion &motion, const std::optional<GeoPoint> &degrees)
{
    return completePhoto(record, preparePhoto(record, row, timeText, options), timeText, position, options,
                         nullptr, motion, degrees);
}

QString failureText(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::Missing:
        return QStringLiteral("文件不存在");
    case Failure::BackupFailed:
        return QStringLiteral("无法备份源文件");
    case Failure::Unreadable:
        return QStringLiteral("无法读取照片");
    case Failure::WriteFailed:
        return QStringLiteral("无法写入照片文件");
    case Failure::RenameFailed:
        return QStringLiteral("无法更改文件名");
    case Failure::MetadataFailed:
        return QStringLiteral("无法写入照片的EXIF信息");
    }
    return {};
}

QString singleDoneMessage(const QString &fileName)
{
    return QStringLiteral("处理完成!\r\n照片 %1 已处理。").arg(fileName);
}

bool carriesFrameMark(const QString &path)
{
    // Asked for every row before a batch: only the segment headers before
    // the image data are read, and the XMP segment itself.
    if (!common::checkInputFile(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray xmpSignature("http://ns.adobe.com/xap/1.0/", 29);
    QByteArray header = file.read(2);
    if (header != QByteArrayView("\xFF\xD8", 2))
        return false;
    for (;;) {
        header = file.read(4);
        if (header.size() != 4 || quint8(header.at(0)) != 0xFF)
            return false;
        const quint8 marker = quint8(header.at(1));
        const qint64 length = (qint64(quint8(header.at(2))) << 8) | quint8(header.at(3));
        if (marker == 0xDA || marker == 0xD9 || length < 2)
            return false;
        if (marker == 0xE1 && length - 2 > xmpSignature.size()) {
            const QByteArray payload = file.read(length - 2);
            if (payload.startsWith(xmpSignature))
                return gpstagwriter::isMarkedFramed(QByteArray("\xFF\xD8", 2) + header + payload);
        } else if (!file.seek(file.pos() + length - 2)) {
            return false;
        }
    }
}

QString alreadyFramedText(const QString &fileName)
{
    return QStringLiteral("照片 %1 已经加过边框，已跳过。").arg(fileName);
}

QString framedAgainQuestion(const QString &fileName)
{
    return QStringLiteral("照片 %1 已经加过边框，是否再加一次？").arg(fileName);
}

QString framedAgainBatchQuestion(qint64 count)
{
    return QStringLiteral("其中 %1 个照片已经加过边框，是否再加一次？\r\n(选\"否\"则跳过这些照片)")
        .arg(count);
}

QString failureText(const Outcome &outcome)
{
    const QString text = failureText(outcome.failure);
    return outcome.reason.isEmpty() ? text
                                    : text + QStringLiteral("（") + outcome.reason + QStringLiteral("）");
}

QString batchMessage(qint64 processed, qint64 failed, std::optional<qint64> gpsWritten, qint64 framingSkipped,
                     qint64 alreadyFramed)
{
    QString text = QStringLiteral("批处理完成!\r\n共处理 %1 个照片。").arg(processed);
    if (gpsWritten)
        text += QStringLiteral("\r\n其中 %1 个照片写入了GPS信息。").arg(*gpsWritten);
    if (framingSkipped > 0)
        text += QStringLiteral("\r\n其中 %1 个文件不是JPEG照片，未加边框。").arg(framingSkipped);
    if (alreadyFramed > 0)
        text += QStringLiteral("\r\n其中 %1 个照片已经加过边框，已跳过。").arg(alreadyFramed);
    if (failed > 0)
        text += QStringLiteral("\r\n其中 %1 个照片处理失败。").arg(failed);
    return text;
}

QString cancelledBatchMessage(qint64 processed, qint64 failed)
{
    QString text = QStringLiteral("批处理已取消!\r\n已处理 %1 个照片，其余照片未改动。").arg(processed);
    if (failed > 0)
        text += QStringLiteral("\r\n其中 %1 个照片处理失败。").arg(failed);
    return text;
}

} // namespace pixplot::photooutput
