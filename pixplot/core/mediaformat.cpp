#include "core/mediaformat.h"

#include "core/boxreader.h"
#include "core/cameratime.h"
#include "core/kyoceraraw.h"
#include "core/mtsreader.h"
#include "core/preview.h"
#include "core/datetimetext.h"
#include "core/photofiles.h"
#include "core/riffreader.h"

#include "common/safefile.h"

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTimeZone>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace pixplot::mediaformat {

namespace {

// exiv2 calls this for what it logs; reading a file it half understands is
// no error of ours, and the reason of a failure comes from its exception.
void quietLog(int, const char *) { }

std::mutex xmpToolkitMutex;
void lockXmpToolkit(void *, bool lock)
{
    if (lock)
        xmpToolkitMutex.lock();
    else
        xmpToolkitMutex.unlock();
}

const QString kNoFormat = QStringLiteral("不是支持的照片或视频格式");
const QString kNoTime = QStringLiteral("文件中没有拍摄时间");

std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// "YYYY:MM:DD hh:mm:ss" (EXIF) as "YYYY-MM-DD hh:mm:ss", or "" when it is no
// valid time ("0000:00:00 00:00:00" and blanks included).
QString exifTimeText(QString s)
{
    if (const qsizetype zero = s.indexOf(QChar(0)); zero >= 0)
        s.truncate(zero);
    s = s.trimmed();
    if (s.size() < 19)
        return {};
    s.truncate(19);
    for (int i = 0; i < 19; ++i) {
        const QChar c = s.at(i);
        const bool sep = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        if (!sep && !c.isDigit())
            return {};
    }
    QString text = s;
    text[4] = QLatin1Char('-');
    text[7] = QLatin1Char('-');
    text[10] = QLatin1Char(' ');
    text[13] = QLatin1Char(':');
    text[16] = QLatin1Char(':');
    if (!systemfinction::ParseDateTimeText(text))
        return {};
    return text;
}


QString trimmedText(const std::string &s)
{
    QString t = QString::fromUtf8(s.data(), qsizetype(s.size()));
    if (const qsizetype zero = t.indexOf(QChar(0)); zero >= 0)
        t.truncate(zero);
    return t.trimmed();
}

// A tag of the main image (IFD0 or the Exif IFD), whatever group name exiv2
// gives it: a CR3's tag blocks arrive as IFD0 only.
QString exifTag(const Exiv2::ExifData &exif, quint16 tag)
{
    for (const Exiv2::Exifdatum &d : exif) {
        if (d.tag() != tag)
            continue;
        const std::string group = d.groupName();
        if (group == "Image" || group == "Photo")
            return trimmedText(d.toString());
    }
    return {};
}

bool fromExif(const Exiv2::ExifData &exif, ShotInfo *info)
{
    if (info->camera.isEmpty())
        info->camera = cameratime::cameraText(exifTag(exif, 0x010f), exifTag(exif, 0x0110), exifTag(exif, 0xa431));
    if (!info->shotTime.isEmpty())
        return true;
    QString time = exifTimeText(exifTag(exif, 0x9003)); // DateTimeOriginal
    if (time.isEmpty())
        time = exifTimeText(exifTag(exif, 0x9004)); // CreateDate
    if (time.isEmpty())
        return false;
    info->shotTime = time;
    info->subSeconds = exifTag(exif, 0x9291);
    info->utcOffset = cameratime::parseUtcOffset(exifTag(exif, 0x9011));
    return true;
}

QString xmpText(const Exiv2::XmpData &xmp, const char *key)
{
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    return it == xmp.end() ? QString() : trimmedText(it->toString());
}

// XMP dates: "YYYY-MM-DDThh:mm:ss[.fff][Z|+hh:mm]".
bool fromXmp(const Exiv2::XmpData &xmp, ShotInfo *info)
{
    if (info->camera.isEmpty())
        info->camera = cameratime::cameraText(xmpText(xmp, "Xmp.tiff.Make"), xmpText(xmp, "Xmp.tiff.Model"),
                                  xmpText(xmp, "Xmp.exifEX.BodySerialNumber"));
    if (!info->shotTime.isEmpty())
        return true;
    for (const char *key : {"Xmp.exif.DateTimeOriginal", "Xmp.xmp.CreateDate", "Xmp.exif.DateTimeDigitized"}) {
        const QString s = xmpText(xmp, key);
        const QString time = exifTimeText(s);
        if (time.isEmpty())
            continue;
        info->shotTime = time;
        QString rest = s.mid(19);
        if (rest.startsWith(QLatin1Char('.'))) {
            qsizetype n = 1;
            while (n < rest.size() && rest.at(n).isDigit())
                ++n;
            info->subSeconds = rest.mid(1, n - 1);
            rest = rest.mid(n);
        }
        if (!rest.isEmpty())
            info->utcOffset = cameratime::parseUtcOffset(rest);
        return true;
    }
    return false;
}

// Decodes a TIFF block (a CR3 CMT box, a HEIF Exif item) into exif.
bool decodeTiff(const uchar *data, qint64 size, Exiv2::ExifData *exif)
{
    if (size < 8)
        return false;
    try {
        Exiv2::ExifData block;
        Exiv2::ExifParser::decode(block, data, uint32_t(size));
        for (const Exiv2::Exifdatum &d : block)
            exif->add(d);
        return !block.empty();
    } catch (const std::exception &) {
        return false;
    }
}

struct HeifContext {
    heif_context *ctx = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    ~HeifContext()
    {
        if (handle)
            heif_image_handle_release(handle);
        heif_context_free(ctx);
    }
    bool open(const QString &path, QString *reason)
    {
        heif_error e = heif_context_read_from_file(ctx, nativePath(path).c_str(), nullptr);
        if (e.code == heif_error_Ok)
            e = heif_context_get_primary_image_handle(ctx, &handle);
        if (e.code != heif_error_Ok) {
            if (reason)
                *reason = QString::fromUtf8(e.message);
            return false;
        }
        return true;
    }
};

// The Exif items of a HEIF file through libheif, for files exiv2 refuses.
bool heifExif(const QString &path, Exiv2::ExifData *exif, QString *reason)
{
    HeifContext heif;
    if (!heif.open(path, reason))
        return false;
    heif_item_id ids[16];
    const int n = heif_image_handle_get_list_of_metadata_block_IDs(heif.handle, "Exif", ids, 16);
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const size_t size = heif_image_handle_get_metadata_size(heif.handle, ids[i]);
        // The item's size comes from the file: a tag block is small.
        if (size < 12 || size > (16u << 20))
            continue;
        QByteArray data(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_metadata(heif.handle, ids[i], data.data()).code != heif_error_Ok)
            continue;
        // Four bytes give how far the TIFF header lies past them.
        const quint32 skip = qFromBigEndian<quint32>(data.constData());
        if (skip > size - 12)
            continue;
        const auto *tiff = reinterpret_cast<const uchar *>(data.constData()) + 4 + skip;
        any = decodeTiff(tiff, qint64(size) - 4 - skip, exif) || any;
    }
    return any;
}

// Some raw files (Sigma's X3F) carry their tags only inside an embedded
// JPEG: the first "Exif\0\0" followed by a TIFF header.
bool embeddedExif(const QString &path, Exiv2::ExifData *exif)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    const uchar *map = file.map(0, file.size());
    if (!map)
        return false;
    const QByteArrayView all(map, file.size());
    for (qsizetype at = all.indexOf(QByteArrayView("Exif\0\0", 6)); at >= 0;
         at = all.indexOf(QByteArrayView("Exif\0\0", 6), at + 1)) {
        const QByteArrayView head = all.sliced(at + 6).first(qMin<qsizetype>(4, all.size() - at - 6));
        if (head == QByteArrayView("II*\0", 4) || head == QByteArrayView("MM\0*", 4))
            return decodeTiff(map + at + 6, file.size() - at - 6, exif);
    }
    return false;
}

QString utcText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A Sigma X3F without Exif: its property list's TIME counts the camera's
// clock in seconds as if it were UTC, so the text is the camera's time.
void fromX3f(const QString &path, ShotInfo *info)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QHash<QString, QString> props = boxreader::readX3fProperties(file);
    bool ok = false;
    const qint64 seconds = props.value(QStringLiteral("TIME")).toLongLong(&ok);
    if (!ok || seconds <= 0 || seconds > 253402300799LL)
        return;
    info->shotTime = utcText(seconds);
    info->camera = cameratime::cameraText(props.value(QStringLiteral("CAMMANUF")),
                                          props.value(QStringLiteral("CAMMODEL")),
                                          props.value(QStringLiteral("CAMSERIAL")));
}

// A film strip with the name and time: what the list shows for a video.
// Without the strip and with "RAW" for the mark, a raw file without a
// picture of its own to show.
QImage symbolFrame(const QSize &size, const QString &name, const QString &time, bool film)
{
    QImage image(size.expandedTo(QSize(60, 45)), QImage::Format_RGB32);
    image.fill(QColor(40, 40, 40));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = image.width(), h = image.height();
    const int strip = qMax(8, h / 8);
    if (film) {
        p.fillRect(0, 0, w, strip, Qt::black);
        p.fillRect(0, h - strip, w, strip, Qt::black);
        const int hole = strip / 2;
        for (int x = hole / 2; x + hole < w; x += hole * 2) {
            p.fillRect(x, (strip - hole) / 2, hole, hole, QColor(220, 220, 220));
            p.fillRect(x, h - strip + (strip - hole) / 2, hole, hole, QColor(220, 220, 220));
        }
    }
    // A play mark (or "RAW") in the middle.
    const QPointF c(w / 2.0, h / 2.0 - h / 10.0);
    const qreal r = h / 8.0;
    QFont font = p.font();
    if (film) {
        p.setBrush(QColor(230, 230, 230));
        p.setPen(Qt::NoPen);
        const QPointF tri[3] = {c + QPointF(-r * 0.6, -r), c + QPointF(-r * 0.6, r), c + QPointF(r, 0)};
        p.drawPolygon(tri, 3);
    } else {
        p.setPen(QColor(230, 230, 230));
        font.setPixelSize(qMax(10, int(r * 1.4)));
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, c.y() - r, w, 2 * r), Qt::AlignCenter, QStringLiteral("RAW"));
        font.setBold(false);
    }
    p.setPen(Qt::white);
    font.setPixelSize(qMax(9, h / 14));
    p.setFont(font);
    const QRect text(4, int(c.y() + r * 1.3), w - 8, h - strip - int(c.y() + r * 1.3));
    p.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, name + QLatin1Char('\n') + time);
    return image;
}

QImage applyOrientation(const QImage &image, int orientation)
{
    QTransform t;
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.transformed(t.rotate(180));
    case 4: return image.mirrored(false, true);
    case 5: return image.transformed(t.rotate(90)).mirrored(true, false);
    case 6: return image.transformed(t.rotate(90));
    case 7: return image.transformed(t.rotate(270)).mirrored(true, false);
    case 8: return image.transformed(t.rotate(270));
    default: return image;
    }
}

// The largest preview a raw file embeds, upright.
QImage rawPreview(const QString &path, QSize *fullSize)
{
    try {
        auto image = Exiv2::ImageFactory::open(nativePath(path));
        image->readMetadata();
        Exiv2::PreviewManager manager(*image);
        const Exiv2::PreviewPropertiesList list = manager.getPreviewProperties();
        if (list.empty())
            return {};
        const Exiv2::PreviewImage preview = manager.getPreviewImage(list.back());
        QImage picture;
        if (!picture.loadFromData(preview.pData(), int(preview.size())))
            return {};
        int orientation = 1;
        const auto it = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (it != image->exifData().end() && it->count() > 0)
            orientation = int(it->toLong());
        picture = applyOrientation(picture, orientation);
        if (fullSize)
            *fullSize = picture.size();
        return picture;
    } catch (const std::exception &) {
        return {};
    }
}

// The primary image of a HEIF/AVIF file, decoded by libheif (which applies
// its rotation and mirroring); its thumbnail when that is large enough.
QImage heifPreview(const QString &path, const QSize &box, QSize *fullSize)
{
    HeifContext heif;
    if (!heif.open(path, nullptr))
        return {};
    const QSize full(heif_image_handle_get_width(heif.handle), heif_image_handle_get_height(heif.handle));
    if (fullSize)
        *fullSize = full;
    heif_image_handle *use = heif.handle;
    heif_image_handle *thumb = nullptr;
    heif_item_id thumbId;
    if (heif_image_handle_get_list_of_thumbnail_IDs(heif.handle, &thumbId, 1) == 1
        && heif_image_handle_get_thumbnail(heif.handle, thumbId, &thumb).code == heif_error_Ok) {
        if (heif_image_handle_get_width(thumb) >= box.width() && heif_image_handle_get_height(thumb) >= box.height())
            use = thumb;
    }
    QImage out;
    heif_image *img = nullptr;
    // The size is a claim of the file: no more than 256 megapixels decoded.
    const qint64 pixels = qint64(heif_image_handle_get_width(use)) * heif_image_handle_get_height(use);
    if (pixels > 0 && pixels <= (qint64(256) << 20)
        && heif_decode_image(use, &img, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code
            == heif_error_Ok) {
        int stride = 0;
        const uint8_t *data = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
        const int w = heif_image_get_width(img, heif_channel_interleaved);
        const int h = heif_image_get_height(img, heif_channel_interleaved);
        if (data && w > 0 && h > 0)
            out = QImage(data, w, h, stride, QImage::Format_RGBA8888).copy();
        heif_image_release(img);
    }
    if (thumb)
        heif_image_handle_release(thumb);
    return out;
}

// The families whose time sits in a header of their own, read without exiv2.
ShotInfo headerShotInfo(const QString &path, Family family)
{
    ShotInfo info;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        info.reason = file.errorString();
        return info;
    }
    if (family == Family::Avi) {
        // The camera's clock, with no zone: the list's zone setting applies.
        const riffreader::AviInfo avi = riffreader::readAvi(file);
        info.shotTime = avi.shotTime;
        info.reason = avi.isAvi ? QStringLiteral("视频文件头中没有拍摄时间")
                                : QStringLiteral("不是AVI格式的视频");
    } else if (family == Family::Avchd) {
        const mtsreader::StreamInfo stream = mtsreader::readStream(file);
        info.shotTime = stream.shotTime;
        info.utcOffset = stream.utcOffset;
        info.camera = stream.make;
        info.reason = stream.isTransportStream ? QStringLiteral("视频流开头没有拍摄时间")
                                               : QStringLiteral("不是AVCHD(MTS)格式的视频");
    } else {
        const kyoceraraw::Header header = kyoceraraw::readHeader(file);
        info.shotTime = header.shotTime;
        info.camera = cameratime::cameraText(header.make, header.model, QString());
        info.reason = header.isKyocera ? kNoTime : QStringLiteral("不是能读取的RAW格式");
    }
    if (!info.shotTime.isEmpty())
        info.reason.clear();
    else
        info.utcOffset.reset();
    return info;
}

} // namespace

std::unique_lock<std::recursive_mutex> holdExiv2()
{
    initExiv2();
    static std::recursive_mutex lock;
    return std::unique_lock<std::recursive_mutex>(lock);
}

void initExiv2()
{
    static const bool done = [] {
        Exiv2::enableBMFF(true);
        Exiv2::XmpParser::initialize(lockXmpToolkit, nullptr);
        // The suite's own properties (a framed photo's mark): without the
        // namespace known, a packet holding one cannot be encoded again.
        Exiv2::XmpProperties::registerNs("http://gpsuite.invalid/ns/pixplot/1.0/", "pixplot");
        if (Exiv2::LogMsg::handler() == Exiv2::LogMsg::defaultHandler)
            Exiv2::LogMsg::setHandler(quietLog);
        return true;
    }();
    (void)done;
}

const QList<Format> &formats()
{
    static const QList<Format> list = {
        {Family::Jpeg, QStringLiteral("JPEG"), {QStringLiteral("jpg"), QStringLiteral("jpeg")}, true, false, true},
        {Family::TiffRaw,
         QStringLiteral("RAW/TIFF"),
         {QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("dng"), QStringLiteral("cr2"),
          QStringLiteral("crw"), QStringLiteral("nef"), QStringLiteral("nrw"), QStringLiteral("arw"),
          QStringLiteral("sr2"), QStringLiteral("orf"), QStringLiteral("rw2"), QStringLiteral("raf"),
          QStringLiteral("pef"), QStringLiteral("srw"), QStringLiteral("x3f"), QStringLiteral("mrw"),
          QStringLiteral("iiq"), QStringLiteral("raw")},
         false, false, false},
        {Family::Bmff,
         QStringLiteral("HEIF/AVIF/CR3"),
         {QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("hif"), QStringLiteral("avif"),
          QStringLiteral("cr3")},
         false, false, false},
        {Family::QuickTime,
         QStringLiteral("视频"),
         {QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("3gp"),
          QStringLiteral("3g2")},
         false, true, false},
        {Family::PngWebp, QStringLiteral("PNG/WebP"), {QStringLiteral("png"), QStringLiteral("webp")}, false,
         false, false},
        {Family::Avi, QStringLiteral("AVI视频"), {QStringLiteral("avi")}, false, true, false},
        {Family::Avchd, QStringLiteral("AVCHD视频"), {QStringLiteral("mts"), QStringLiteral("m2ts")}, false, true,
         false},
        // Panasonic's and Leica's .raw are TIFF-like and read by exiv2 above.
        {Family::KyoceraRaw, QStringLiteral("Kyocera RAW"), {QStringLiteral("raw")}, false, false, false,
         kyoceraraw::looksLikeKyocera},
    };
    return list;
}

const Format *formatOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash)
        return nullptr;
    const QString suffix = fileName.mid(dot + 1).toLower();
    for (const Format &f : formats())
        if (f.suffixes.contains(suffix))
            return &f;
    return nullptr;
}

const Format *formatOfFile(const QString &path)
{
    const Format *byName = formatOf(path);
    if (!byName)
        return nullptr;
    const QString suffix = QFileInfo(path).suffix().toLower();
    QList<const Format *> sharing;
    for (const Format &f : formats())
        if (f.suffixes.contains(suffix))
            sharing << &f;
    if (sharing.size() < 2)
        return byName;
    QFile file(path);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(512) : QByteArray();
    for (const Format *f : sharing)
        if (f->takes && f->takes(head))
            return f;
    for (const Format *f : sharing)
        if (!f->takes)
            return f;
    return byName;
}

QString openFilter()
{
    QStringList patterns;
    for (const Format &f : formats())
        for (const QString &s : f.suffixes)
            if (!patterns.contains(QStringLiteral("*.") + s))
                patterns << QStringLiteral("*.") + s;
    return QStringLiteral("照片和视频(%1)|%2|照片文件(*.JPG)|*.jpg;*.jpeg|所有文件(*)|*")
        .arg(patterns.join(QLatin1Char(' ')), patterns.join(QLatin1Char(';')));
}

ShotInfo readShotInfo(const QString &path)
{
    ShotInfo info;
    const Format *format = formatOfFile(path);
    if (!format) {
        info.reason = kNoFormat;
        return info;
    }
    if (format->family == Family::Avi || format->family == Family::Avchd || format->family == Family::KyoceraRaw)
        return headerShotInfo(path, format->family);
    const auto held = holdExiv2();
    QString reason;
    if (format->family == Family::QuickTime || format->family == Family::Bmff) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            info.reason = file.errorString();
            return info;
        }
        const boxreader::MovieInfo movie = boxreader::readMovie(file);
        if (format->family == Family::QuickTime) {
            // The movie header's time is UTC by the format's definition.
            info.camera = cameratime::cameraText(movie.make, movie.model, QString());
            if (movie.creationUtc) {
                info.shotTime = utcText(*movie.creationUtc);
                info.utcOffset = 0;
            } else {
                info.reason = movie.isBoxFile ? QStringLiteral("视频文件头中没有拍摄时间")
                                              : QStringLiteral("不是QuickTime/MP4格式的视频");
            }
            return info;
        }
        // A CR3 whose tag blocks exiv2 refuses may still be read box by box.
        if (!movie.canonTiff.isEmpty()) {
            Exiv2::ExifData exif;
            for (const QByteArray &block : movie.canonTiff)
                decodeTiff(reinterpret_cast<const uchar *>(block.constData()), block.size(), &exif);
            fromExif(exif, &info);
        }
        if (info.shotTime.isEmpty() && movie.creationUtc) {
            info.shotTime = utcText(*movie.creationUtc);
            info.utcOffset = 0;
        }
        if (!info.shotTime.isEmpty())
            return info;
    }
    try {
        auto image = Exiv2::ImageFactory::open(nativePath(path));
        image->readMetadata();
        if (!fromExif(image->exifData(), &info))
            fromXmp(image->xmpData(), &info);
    } catch (const std::exception &e) {
        reason = QString::fromUtf8(e.what()).trimmed();
    }
    if (info.shotTime.isEmpty()) {
        Exiv2::ExifData exif;
        if (format->family == Family::Bmff) {
            QString heifReason;
            if (heifExif(path, &exif, &heifReason))
                fromExif(exif, &info);
            else if (reason.isEmpty())
                reason = heifReason;
        } else if (format->family == Family::TiffRaw && embeddedExif(path, &exif)) {
            fromExif(exif, &info);
        }
        if (info.shotTime.isEmpty() && format->family == Family::TiffRaw)
            fromX3f(path, &info);
    }
    if (info.shotTime.isEmpty())
        info.reason = reason.isEmpty() ? kNoTime : kNoTime + QStringLiteral("（") + reason + QStringLiteral("）");
    return info;
}

PhotoRecord readRecord(const QString &name, const QString &folder, QString *reason)
{
    const QString path = folder + name;
    const Format *format = formatOf(name);
    if (!format || !common::checkInputFile(path))
        return PhotoRecord();
    if (format->family == Family::Jpeg) {
        const PhotoRecord record = systemfinction::ReadPhotoRecord(name, folder);
        if (reason && !record.fileName.isEmpty() && !record.hasExif)
            *reason = kNoTime;
        return record;
    }
    PhotoRecord record;
    record.fileName = name;
    record.folder = folder;
    const ShotInfo info = readShotInfo(path);
    record.shotTime = info.shotTime;
    record.hasExif = !info.shotTime.isEmpty();
    record.utcOffset = info.utcOffset;
    record.camera = info.camera;
    if (reason)
        *reason = info.reason;
    return record;
}

namespace {

// Degrees from an Exif GPS coordinate (three rationals) and its reference.
std::optional<double> gpsCoordinate(const Exiv2::ExifData &exif, const char *key, const char *refKey)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    const auto ref = exif.findKey(Exiv2::ExifKey(refKey));
    if (it == exif.end() || ref == exif.end() || it->count() != 3)
        return std::nullopt;
    // Unsigned rationals: phones write numerators past 2^31 (seconds to
    // eight decimals), which the signed reading would turn negative.
    const auto *parts = dynamic_cast<const Exiv2::URationalValue *>(&it->value());
    if (!parts || parts->value_.size() != 3)
        return std::nullopt;
    double value = 0, scale = 1;
    for (const Exiv2::URational &r : parts->value_) {
        if (r.second == 0)
            return std::nullopt;
        value += double(r.first) / r.second / scale;
        scale *= 60;
    }
    const std::string side = ref->toString();
    if (side == "S" || side == "W")
        value = -value;
    else if (side != "N" && side != "E")
        return std::nullopt;
    return value;
}

} // namespace

std::optional<GeoPoint> readFilePosition(const QString &path)
{
    const Format *format = formatOfFile(path);
    // Video and Kyocera's raw carry no Exif GPS block.
    if (!format || format->video || format->family == Family::KyoceraRaw)
        return std::nullopt;
    const auto held = holdExiv2();
    Exiv2::ExifData exif;
    try {
        auto image = Exiv2::ImageFactory::open(nativePath(path));
        image->readMetadata();
        exif = image->exifData();
    } catch (const std::exception &) {
        if (format->family == Family::Bmff)
            heifExif(path, &exif, nullptr);
    }
    const auto lat = gpsCoordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef");
    const auto lon = gpsCoordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef");
    if (!lat || !lon || std::fabs(*lat) > 90 || std::fabs(*lon) > 180)
        return std::nullopt;
    return GeoPoint{*lon, *lat};
}

QImage previewImage(const QString &path, const QSize &box, QSize *fullSize, const QString &timeText)
{
    const Format *format = formatOfFile(path);
    if (fullSize)
        *fullSize = QSize();
    if (!format)
        return {};
    const QString suffix = QFileInfo(path).suffix().toLower();
    // Kyocera's raw embeds no preview: its header is followed by the
    // sensor's data alone.
    if (format->video || format->family == Family::KyoceraRaw) {
        if (fullSize)
            *fullSize = box;
        return symbolFrame(box, QFileInfo(path).fileName(), timeText, format->video);
    }
    const auto held = holdExiv2();
    QImage picture;
    if (format->family == Family::Bmff && suffix != QLatin1String("cr3"))
        picture = heifPreview(path, box, fullSize);
    else if (format->family == Family::TiffRaw && suffix != QLatin1String("tif") && suffix != QLatin1String("tiff"))
        picture = rawPreview(path, fullSize);
    else if (format->family != Family::Bmff)
        return preview::readPreviewImage(path, fullSize, 1.0);
    else
        picture = rawPreview(path, fullSize);
    if (picture.isNull())
        return {};
    if (picture.width() > box.width() || picture.height() > box.height())
        picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture;
}

} // namespace pixplot::mediaformat
