#include "core/gpstagwriter.h"

#include "core/mediaformat.h"

#include "core/nmeasentence.h"
#include "core/tiffappend.h"

#include <exiv2/exiv2.hpp>

#include <QList>
#include <QStringList>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>

namespace pixplot::gpstagwriter {

namespace {

// The GPS tags a position is read back from.
const char *const kGpsKeys[] = {
    "Exif.GPSInfo.GPSVersionID",    "Exif.GPSInfo.GPSLatitudeRef", "Exif.GPSInfo.GPSLatitude",
    "Exif.GPSInfo.GPSLongitudeRef", "Exif.GPSInfo.GPSLongitude",   "Exif.GPSInfo.GPSMapDatum",
    "Exif.GPSInfo.GPSDateStamp",    "Exif.GPSInfo.GPSTimeStamp",
};

// Offsets into the file that exiv2 recomputes whenever it writes.
const char *const kLayoutKeys[] = {
    "Exif.Image.ExifTag",
    "Exif.Image.GPSTag",
    "Exif.Photo.InteroperabilityTag",
    "Exif.Thumbnail.JPEGInterchangeFormat",
    "Exif.MakerNote.Offset",
};

// IFD0 tags of the stored pixels' layout, which a re-encoded JPEG does not keep.
const char *const kEncodingKeys[] = {
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.StripOffsets",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
};

// exiv2's warnings while it handles one photo. A warning means it met
// something it does not understand and skipped or repaired it, which a
// rewrite would make permanent: such a photo is left as it is. exiv2 calls
// the handler on the thread that does the work, and batch workers handle
// photos side by side, so each thread keeps its own.
thread_local std::string firstWarning;

void keepWarning(int level, const char *message)
{
    if (level >= Exiv2::LogMsg::warn && firstWarning.empty() && message)
        firstWarning = message;
}

// exiv2 logs to stderr otherwise; its warnings are collected instead. The
// rest of exiv2's set-up, the XMP toolkit's lock among it, is the media
// formats' one.
void initExiv2()
{
    mediaformat::initExiv2();
    static const bool done = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(keepWarning);
        return true;
    }();
    (void)done;
    firstWarning.clear();
}

void throwOnWarning()
{
    if (!firstWarning.empty()) {
        std::string message = firstWarning;
        while (!message.empty() && (message.back() == '\n' || message.back() == '.'))
            message.pop_back();
        throw std::runtime_error("exiv2: " + message);
    }
}

bool isOneOf(const std::string &key, const auto &keys)
{
    return std::any_of(std::begin(keys), std::end(keys), [&](const char *k) { return key == k; });
}

// Tags that hold where something lies in the file (a preview, a thumbnail,
// a sub-directory): exiv2 moves those things when it writes.
bool isLayoutTag(const Exiv2::Exifdatum &d)
{
    const std::string name = d.tagName();
    const auto endsWith = [&](const std::string &tail) {
        return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    return isOneOf(d.key(), kLayoutKeys) || endsWith("Offset") || endsWith("Offsets")
        || name == "JPEGInterchangeFormat" || d.key() == "Exif.Nikon3.Preview";
}

// Opens JPEG bytes (exiv2 copies them into its own memory buffer) and reads
// the metadata. Throws on anything exiv2 does not accept.
auto openJpeg(const QByteArray &bytes)
{
    auto image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(bytes.constData()), bytes.size());
    if (!image.get() || image->imageType() != Exiv2::ImageType::jpeg)
        throw std::runtime_error("not a JPEG file");
    image->readMetadata();
    return image;
}

QByteArray ioBytes(Exiv2::BasicIo &io)
{
    if (io.open() != 0)
        throw std::runtime_error("cannot reopen the result");
    QByteArray bytes(qsizetype(io.size()), Qt::Uninitialized);
    io.seek(0, Exiv2::BasicIo::beg);
    const auto got = io.read(reinterpret_cast<Exiv2::byte *>(bytes.data()), bytes.size());
    io.close();
    if (qsizetype(got) != bytes.size())
        throw std::runtime_error("short read of the result");
    return bytes;
}

struct Segment {
    quint8 marker = 0;
    qsizetype start = 0; // at its 0xFF
    qsizetype size = 0;  // marker, length and payload
};

// The segments of a JPEG before its scan data, and where the scan data
// (the first SOS) starts. Throws when the segment chain is broken.
QList<Segment> segmentsOf(const QByteArray &jpeg, qsizetype *scanStart)
{
    const auto byte = [&](qsizetype i) { return quint8(jpeg.at(i)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        throw std::runtime_error("no JPEG start marker");
    QList<Segment> segments;
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (byte(pos) != 0xFF)
            throw std::runtime_error("broken JPEG segment chain");
        const quint8 marker = byte(pos + 1);
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA) {
            *scanStart = pos;
            return segments;
        }
        const qsizetype length = (qsizetype(byte(pos + 2)) << 8) | byte(pos + 3);
        if (length < 2 || pos + 2 + length > jpeg.size())
            throw std::runtime_error("broken JPEG segment chain");
        segments.append({marker, pos, 2 + length});
        pos += 2 + length;
    }
    throw std::runtime_error("no JPEG scan data");
}

bool isXmpSegment(const QByteArray &jpeg, const Segment &s)
{
    static const QByteArray xmp("http://ns.adobe.com/xap/1.0/", 29); // with its NUL
    static const QByteArray extension("http://ns.adobe.com/xmp/extension/", 35);
    const QByteArray payload = jpeg.mid(s.start + 4, std::min<qsizetype>(s.size - 4, 35));
    return s.marker == 0xE1 && (payload.startsWith(xmp) || payload.startsWith(extension));
}

// Everything of a JPEG but its metadata: the segments other than APPn and
// COM, then the scan data. Views into jpeg, which must outlive them.
QList<QByteArrayView> imageData(const QByteArray &jpeg)
{
    qsizetype scan = 0;
    QList<QByteArrayView> kept;
    for (const Segment &s : segmentsOf(jpeg, &scan))
        if (!((s.marker >= 0xE0 && s.marker <= 0xEF) || s.marker == 0xFE))
            kept.append(QByteArrayView(jpeg).sliced(s.start, s.size));
    kept.append(QByteArrayView(jpeg).sliced(scan));
    return kept;
}

// The XMP segments of a JPEG as they are in the file.
QByteArray xmpSegments(const QByteArray &jpeg)
{
    qsizetype scan = 0;
    QByteArray xmp;
    for (const Segment &s : segmentsOf(jpeg, &scan))
        if (isXmpSegment(jpeg, s))
            xmp += jpeg.mid(s.start, s.size);
    return xmp;
}

// jpeg (without XMP) with the XMP segments put back behind its EXIF (or
// JFIF) segment, where readers look for them.
QByteArray withXmpSegments(const QByteArray &jpeg, const QByteArray &xmp)
{
    if (xmp.isEmpty())
        return jpeg;
    qsizetype scan = 0;
    qsizetype at = 2;
    for (const Segment &s : segmentsOf(jpeg, &scan)) {
        if (s.marker != 0xE0 && s.marker != 0xE1)
            break;
        at = s.start + s.size;
    }
    return jpeg.left(at) + xmp + jpeg.mid(at);
}

// A maker-note tag that points at a directory exiv2 does not read (Nikon's
// ScanIFD, for one) keeps its number while the directory moves: readers
// would then find garbage there.
void refuseDanglingPointers(const Exiv2::ExifData &exif)
{
    for (const Exiv2::Exifdatum &d : exif) {
        const std::string name = d.tagName();
        const bool pointer = name.size() > 3 && name.compare(name.size() - 3, 3, "IFD") == 0
            && (d.typeId() == Exiv2::unsignedLong || d.typeId() == Exiv2::signedLong) && d.count() == 1
            && d.toString() != "0";
        if (pointer && Exiv2::ExifTags::isMakerGroup(d.groupName()))
            throw std::runtime_error(d.key() + " points into the maker note, which would move");
    }
}

// What a reader sees of the metadata, in an order exiv2's writing does not
// change: one line per tag, the layout offsets left out.
QStringList exifLines(const Exiv2::ExifData &exif)
{
    // A maker note exiv2 understands is written anew from its tags, which
    // are compared one by one; only one it cannot read is kept as a block.
    const bool makerNoteRead = std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum &d) {
        return Exiv2::ExifTags::isMakerGroup(d.groupName());
    });
    QStringList lines;
    for (const Exiv2::Exifdatum &d : exif) {
        if (isLayoutTag(d) || (makerNoteRead && d.key() == "Exif.Photo.MakerNote"))
            continue;
        lines.append(QString::fromStdString(d.key()) + QLatin1Char('\t') + QString::number(int(d.typeId()))
                     + QLatin1Char('\t') + QString::fromStdString(d.toString()));
    }
    lines.sort();
    return lines;
}

// Each datum's key and value, sorted.
template <typename Data> QStringList keyValueLines(const Data &data)
{
    QStringList lines;
    for (const auto &d : data)
        lines.append(QString::fromStdString(d.key()) + QLatin1Char('\t')
                     + QString::fromStdString(d.toString()));
    lines.sort();
    return lines;
}

QStringList iptcLines(const Exiv2::IptcData &iptc)
{
    return keyValueLines(iptc);
}

QStringList xmpLines(const Exiv2::XmpData &xmp)
{
    return keyValueLines(xmp);
}

QStringList xmpLines(const std::string &packet)
{
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, packet) != 0)
        throw std::runtime_error("XMP packet does not parse");
    return xmpLines(xmp);
}

struct Snapshot {
    QStringList exif, iptc;
    std::string xmpPacket;
};

Snapshot snapshotOf(Exiv2::Image &image)
{
    return {exifLines(image.exifData()), iptcLines(image.iptcData()), image.xmpPacket()};
}

// Writes image's metadata into its memory buffer and checks that reading
// the result gives back what was written. Returns the new file's bytes.
// xmp holds the XMP segments to carry, which must read back as xmpPacket:
// exiv2 would encode the packet anew (other values, other layout), so they
// are copied as they are instead.
QByteArray writeAndVerify(Exiv2::Image &image, const QByteArray &xmp, const std::string &xmpPacket)
{
    refuseDanglingPointers(image.exifData());
    Snapshot expected = snapshotOf(image);
    expected.xmpPacket = xmpPacket;
    image.clearXmpData();
    image.clearXmpPacket();
    image.writeMetadata();
    const QByteArray result = withXmpSegments(ioBytes(image.io()), xmp);

    auto back = openJpeg(result);
    const Snapshot got = snapshotOf(*back);
    if (got.exif != expected.exif) {
        QString first;
        for (const QString &line : expected.exif)
            if (!got.exif.contains(line)) {
                first = line.section(QLatin1Char('\t'), 0, 0);
                break;
            }
        throw std::runtime_error("EXIF reads back different: "
                                 + (first.isEmpty() ? std::string("extra tags") : first.toStdString()));
    }
    if (got.iptc != expected.iptc)
        throw std::runtime_error("IPTC data was not kept");
    // exiv2 reads some packets back with their layout (line breaks,
    // padding) changed; then the properties must still be the same.
    if (got.xmpPacket != expected.xmpPacket && xmpLines(got.xmpPacket) != xmpLines(expected.xmpPacket))
        throw std::runtime_error("XMP packet was not kept");
    return result;
}

constexpr quint16 kGpsPointerTag = 0x8825; // IFD0's pointer to the GPS directory

// Decimal degrees as degrees, minutes and seconds; seconds in 1/100000,
// finer than any path's fix (1e-5 s is under 1e-8 degree).
QList<QPair<quint32, quint32>> dms(double degrees)
{
    constexpr qint64 secondUnits = 100000;
    const qint64 total = std::llround(std::fabs(degrees) * 3600.0 * secondUnits);
    const qint64 d = total / (3600 * secondUnits);
    const qint64 m = (total / (60 * secondUnits)) % 60;
    const qint64 s = total % (60 * secondUnits);
    return {{quint32(d), 1}, {quint32(m), 1}, {quint32(s), quint32(secondUnits)}};
}

// A non-negative quantity as a rational in 1/1000: finer than any receiver
// gives altitude, speed or course. nullopt when it does not fit.
std::optional<QPair<quint32, quint32>> thousandths(double value)
{
    const double units = std::round(std::fabs(value) * 1000.0);
    if (!std::isfinite(units) || units > double(std::numeric_limits<quint32>::max()))
        return std::nullopt;
    return QPair<quint32, quint32>(quint32(units), 1000);
}

// The whole GPS directory of a fix: whatever a photo had there is
// replaced by exactly these entries, so no tag of another place remains.
// Entries in tag order, as a TIFF directory keeps them.
QList<tiffappend::Entry> gpsEntries(const GpsTags &tags)
{
    using tiffappend::Entry;
    const QDateTime utc = tags.utc.toUTC();
    QList<Entry> entries = {
        Entry::bytes(0x0000, {2, 3, 0, 0}),
        Entry::ascii(0x0001, tags.latitude < 0 ? "S" : "N"),
        Entry::rationals(0x0002, dms(tags.latitude)),
        Entry::ascii(0x0003, tags.longitude < 0 ? "W" : "E"),
        Entry::rationals(0x0004, dms(tags.longitude)),
    };
    if (const auto a = tags.altitude ? thousandths(*tags.altitude) : std::nullopt) {
        entries.append(Entry::bytes(0x0005, {quint8(*tags.altitude < 0 ? 1 : 0)})); // 1: below sea level
        entries.append(Entry::rationals(0x0006, {*a}));
    }
    entries.append(Entry::rationals(0x0007,
                                    {{quint32(utc.time().hour()), 1},
                                     {quint32(utc.time().minute()), 1},
                                     {quint32(utc.time().second()), 1}}));
    if (const auto v = tags.speedKmh ? thousandths(*tags.speedKmh) : std::nullopt) {
        entries.append(Entry::ascii(0x000C, "K"));
        entries.append(Entry::rationals(0x000D, {*v}));
    }
    if (const auto t = tags.track ? thousandths(*tags.track) : std::nullopt) {
        entries.append(Entry::ascii(0x000E, "T"));
        entries.append(Entry::rationals(0x000F, {*t}));
    }
    entries.append(Entry::ascii(0x0012, "WGS-84"));
    entries.append(Entry::ascii(0x001D, utc.date().toString(QStringLiteral("yyyy:MM:dd")).toLatin1()));
    return entries;
}

// Sets key to value, replacing the tag when present and dropping any second
// copy a broken file may carry, so readers find exactly one.
void assign(Exiv2::ExifData &exif, const char *key, const Exiv2::Value &value)
{
    exif[key] = value;
    bool seen = false;
    for (auto it = exif.begin(); it != exif.end();) {
        if (it->key() == key) {
            if (seen) {
                it = exif.erase(it);
                continue;
            }
            seen = true;
        }
        ++it;
    }
}

// The GPS directory of exif replaced as a whole by the fix's entries.
void setGpsTags(Exiv2::ExifData &exif, const GpsTags &tags)
{
    for (auto it = exif.begin(); it != exif.end();)
        it = it->groupName() == "GPSInfo" ? exif.erase(it) : std::next(it);
    for (const tiffappend::Entry &e : gpsEntries(tags)) {
        const auto value = Exiv2::Value::create(Exiv2::TypeId(e.type));
        value->read(reinterpret_cast<const Exiv2::byte *>(e.data.constData()), long(e.data.size()),
                    Exiv2::bigEndian);
        exif.add(Exiv2::ExifKey(e.tag, "GPSInfo"), value.get());
    }
}

// An XMP packet that already says where the photo was taken says what the
// EXIF GPS tags now say: its exif:GPS properties are replaced by those of
// the fix. False (xmp unchanged) when it has none.
bool replaceXmpGps(Exiv2::XmpData &xmp, const GpsTags &tags)
{
    const auto isGps = [](const Exiv2::Xmpdatum &d) {
        return d.groupName() == "exif" && d.tagName().rfind("GPS", 0) == 0;
    };
    if (std::none_of(xmp.begin(), xmp.end(), isGps))
        return false;
    for (auto it = xmp.begin(); it != xmp.end();)
        it = isGps(*it) ? xmp.erase(it) : std::next(it);
    Exiv2::ExifData gps;
    setGpsTags(gps, tags);
    Exiv2::XmpData converted;
    Exiv2::copyExifToXmp(gps, converted);
    for (const Exiv2::Xmpdatum &d : converted)
        if (isGps(d))
            xmp.add(d);
    return true;
}

// One APP1 segment carrying an XMP packet.
QByteArray xmpSegment(const std::string &packet)
{
    static const QByteArray signature("http://ns.adobe.com/xap/1.0/", 29);
    const qsizetype length = 2 + signature.size() + qsizetype(packet.size());
    if (length > 0xFFFF)
        throw std::runtime_error("the XMP packet is too large for one segment");
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + signature
        + QByteArray::fromStdString(packet);
}

std::string encodedXmp(const Exiv2::XmpData &xmp)
{
    std::string encoded;
    if (Exiv2::XmpParser::encode(encoded, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
        throw std::runtime_error("cannot encode the XMP packet");
    return encoded;
}

// Sets key to an unsigned value where the photo has the tag.
void updateIfPresent(Exiv2::ExifData &exif, const char *key, uint32_t value)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end())
        return;
    if (it->typeId() == Exiv2::unsignedShort && value <= 0xffff)
        assign(exif, key, Exiv2::UShortValue(uint16_t(value)));
    else
        assign(exif, key, Exiv2::ULongValue(value));
}

// Called in a catch (...) block: the failure's text into *error; false.
bool failed(QString *error)
{
    QString text = QStringLiteral("unknown failure");
    try {
        throw;
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    if (error)
        *error = text;
    return false;
}

double dmsDegrees(const Exiv2::Exifdatum &d)
{
    if (d.count() != 3)
        throw std::runtime_error("not degrees, minutes, seconds");
    double parts[3];
    for (int i = 0; i < 3; ++i) {
        const Exiv2::Rational r = d.toRational(i);
        if (r.second == 0)
            throw std::runtime_error("zero denominator");
        parts[i] = double(r.first) / double(r.second);
    }
    return parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
}

QString angleText(double degrees, QChar positive, QChar negative, int degreeDigits)
{
    const qint64 units = std::llround(std::fabs(degrees) * 60.0 * 10000.0); // 1/10000 minute
    const qint64 d = units / (60 * 10000);
    const qint64 m = units % (60 * 10000);
    return QString(degrees < 0 ? negative : positive)
        + QStringLiteral("%1").arg(d, degreeDigits, 10, QLatin1Char('0')) + QChar(0x00B0)
        + QStringLiteral("%1.%2'")
              .arg(m / 10000, 2, 10, QLatin1Char('0'))
              .arg(m % 10000, 4, 10, QLatin1Char('0'));
}

// An XMP orientation other than 1 would turn the upright framed pixels
// again in readers that look at XMP, and XMP GPS properties would name
// another place: only then is the packet encoded anew and replaces the
// copied segments.
void adjustXmp(const Exiv2::XmpData &source, const GpsTags *tags, QByteArray *segments, std::string *packet)
{
    Exiv2::XmpData xmp = source;
    bool changed = tags && replaceXmpGps(xmp, *tags);
    const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
    if (it != xmp.end() && it->toString() != "1") {
        it->setValue("1");
        changed = true;
    }
    if (!changed)
        return;
    *packet = encodedXmp(xmp);
    *segments = xmpSegment(*packet);
}

// The embedded images a reader can take out of the metadata: exiv2's
// previews (maker-note previews among them) and the EXIF thumbnail.
QList<QByteArray> embeddedImages(const Exiv2::Image &image)
{
    QList<QByteArray> images;
    const Exiv2::PreviewManager previews(image);
    for (const Exiv2::PreviewProperties &p : previews.getPreviewProperties()) {
        const Exiv2::PreviewImage preview = previews.getPreviewImage(p);
        images.append(QByteArray(reinterpret_cast<const char *>(preview.pData()), qsizetype(preview.size())));
    }
    const Exiv2::DataBuf thumb = Exiv2::ExifThumbC(image.exifData()).copy();
    images.append(QByteArray(reinterpret_cast<const char *>(thumb.pData_), qsizetype(thumb.size_)));
    return images;
}

bool isExifSegment(const QByteArray &jpeg, const Segment &s)
{
    return s.marker == 0xE1 && s.size >= 10 && jpeg.mid(s.start + 4, 6) == QByteArray("Exif\0\0", 6);
}

// The JPEG images a maker note locates by a start and a length tag
// (Casio's PreviewImageStart and PreviewImageLength, for one), counted from
// the start of the TIFF block as such maker notes do, which exiv2's previews
// do not list.
QList<QByteArray> makerNoteImages(const QByteArray &jpeg, const Exiv2::ExifData &exif)
{
    qsizetype scan = 0;
    QByteArray tiff;
    for (const Segment &s : segmentsOf(jpeg, &scan))
        if (isExifSegment(jpeg, s)) {
            tiff = jpeg.mid(s.start + 10, s.size - 10);
            break;
        }
    QList<QByteArray> images;
    for (const Exiv2::Exifdatum &start : exif) {
        const std::string name = start.tagName();
        if (!Exiv2::ExifTags::isMakerGroup(start.groupName()) || name.size() < 6
            || name.compare(name.size() - 5, 5, "Start") != 0 || start.count() != 1)
            continue;
        const auto length = exif.findKey(
            Exiv2::ExifKey("Exif." + start.groupName() + "." + name.substr(0, name.size() - 5) + "Length"));
        if (length == exif.end() || length->count() != 1)
            continue;
        const qint64 offset = start.toLong(), size = length->toLong();
        if (offset < 0 || size < 4 || offset + size > tiff.size())
            continue;
        const QByteArray image = tiff.mid(offset, size);
        if (image.startsWith("\xFF\xD8"))
            images.append(image);
    }
    return images;
}

void compareExif(const QStringList &expected, const QStringList &got)
{
    if (got == expected)
        return;
    QString first;
    for (const QString &line : expected)
        if (!got.contains(line)) {
            first = line.section(QLatin1Char('\t'), 0, 0);
            break;
        }
    throw std::runtime_error("EXIF reads back different: "
                             + (first.isEmpty() ? std::string("extra tags") : first.toStdString()));
}

// jpeg with the GPS directory of tags written by appending to its Exif
// block (a new block when it has none), its XMP GPS properties replaced.
// *unreadable receives the keys of tags whose values lay past the end of
// the block: no reader could take them from the photo, before or after.
QByteArray appendGps(const QByteArray &jpeg, Exiv2::Image &image, const GpsTags &tags,
                     QStringList *unreadable)
{
    qsizetype scan = 0;
    const QList<Segment> segments = segmentsOf(jpeg, &scan);
    const auto exif = std::find_if(segments.begin(), segments.end(),
                                   [&](const Segment &s) { return isExifSegment(jpeg, s); });
    QByteArray tiff;
    if (exif != segments.end()) {
        QList<tiffappend::ValuePastEnd> pastEnd;
        tiff = tiffappend::withSubDirectory(jpeg.mid(exif->start + 10, exif->size - 10), kGpsPointerTag,
                                            gpsEntries(tags), &pastEnd);
        static const char *const groups[] = {"Image", "Thumbnail", "Photo", "Iop"};
        for (const tiffappend::ValuePastEnd &v : pastEnd)
            unreadable->append(QString::fromStdString(Exiv2::ExifKey(v.tag, groups[v.directory]).key()));
    } else
        tiff = tiffappend::newBlock(kGpsPointerTag, gpsEntries(tags));
    const qsizetype length = 2 + 6 + tiff.size();
    if (length > 0xFFFF)
        throw std::runtime_error("the Exif segment has no room left for the GPS tags (64 KB at most)");
    const QByteArray segment = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF)
        + QByteArray("Exif\0\0", 6) + tiff;

    QByteArray xmp;
    Exiv2::XmpData xmpData = image.xmpData();
    if (replaceXmpGps(xmpData, tags))
        xmp = xmpSegment(encodedXmp(xmpData));

    QByteArray out = jpeg.left(2);
    bool exifPlaced = exif != segments.end();
    bool xmpPlaced = xmp.isEmpty();
    for (const Segment &s : segments) {
        // A new Exif segment goes first, behind a JFIF header only.
        if (!exifPlaced && s.marker != 0xE0) {
            out += segment;
            exifPlaced = true;
        }
        if (exif != segments.end() && s.start == exif->start)
            out += segment;
        else if (!xmpPlaced && isXmpSegment(jpeg, s)
                 && !jpeg.mid(s.start + 4, 35).startsWith("http://ns.adobe.com/xmp/extension/")) {
            out += xmp;
            xmpPlaced = true;
        } else
            out += jpeg.mid(s.start, s.size);
    }
    if (!exifPlaced)
        out += segment;
    return out + jpeg.mid(scan);
}

} // namespace

std::optional<GpsTags> tagsForRow(const QString &position, const QString &timeText,
                                  const common::TimeZoneSetting &zone)
{
    if (position.isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> utc = zone.localTextToUtc(timeText);
    if (!utc || !utc->isValid())
        return std::nullopt;
    GpsTags tags;
    const GeoPoint point = systemfinction::ParsePositionText(position);
    tags.latitude = point.latitude;
    tags.longitude = point.longitude;
    tags.utc = *utc;
    if (std::fabs(tags.latitude) > 90 || std::fabs(tags.longitude) > 180)
        return std::nullopt;
    return tags;
}

std::optional<GpsTags> tagsForRow(const QString &position, const QString &timeText,
                                  const common::TimeZoneSetting &zone, const FixMotion &motion,
                                  const std::optional<GeoPoint> &degrees)
{
    std::optional<GpsTags> tags = tagsForRow(position, timeText, zone);
    if (tags && degrees) {
        if (!std::isfinite(degrees->latitude) || !std::isfinite(degrees->longitude)
            || std::fabs(degrees->latitude) > 90 || std::fabs(degrees->longitude) > 180)
            return std::nullopt;
        tags->latitude = degrees->latitude;
        tags->longitude = degrees->longitude;
    }
    if (tags) {
        tags->altitude = FixMotion::given(motion.altitude);
        tags->speedKmh = FixMotion::given(motion.speedKmh);
        tags->track = FixMotion::given(motion.track);
    }
    return tags;
}

bool writeGpsTags(const QByteArray &jpeg, const GpsTags &tags, QByteArray *head, qsizetype *bodyStart,
                  QString *error)
{
    const auto held = mediaformat::holdExiv2();
    initExiv2();
    try {
        // exiv2 copies whatever it is given several times over; the metadata
        // all lies before the scan, so it gets that part alone, closed by
        // the scan header and an end marker. Its result is followed by the
        // photo's scan data as it is.
        qsizetype scan = 0;
        segmentsOf(jpeg, &scan);
        const qsizetype scanHeader =
            2 + ((qsizetype(quint8(jpeg.at(scan + 2))) << 8) | quint8(jpeg.at(scan + 3)));
        if (scan + scanHeader > jpeg.size())
            throw std::runtime_error("broken JPEG scan header");
        const QByteArray part = jpeg.left(scan + scanHeader) + QByteArray("\xFF\xD9", 2);

        // The tags go in by appending to the Exif block: every byte of it
        // keeps its offset, so maker notes and previews whose offsets exiv2
        // does not know (or would move) stay valid. Nothing exiv2 rewrites.
        auto image = openJpeg(part);
        QStringList unreadable;
        QByteArray written = appendGps(part, *image, tags, &unreadable);

        // The result must read as the photo did with the GPS directory
        // replaced: the same tags, IPTC and XMP, every embedded image
        // byte for byte, the same image data.
        auto back = openJpeg(written);
        Exiv2::ExifData expected = image->exifData();
        setGpsTags(expected, tags);
        const auto readable = [&](QStringList lines) {
            lines.removeIf([&](const QString &line) {
                return unreadable.contains(line.section(QLatin1Char('\t'), 0, 0));
            });
            return lines;
        };
        compareExif(readable(exifLines(expected)), readable(exifLines(back->exifData())));
        if (iptcLines(back->iptcData()) != iptcLines(image->iptcData()))
            throw std::runtime_error("IPTC data was not kept");
        Exiv2::XmpData expectedXmp = image->xmpData();
        replaceXmpGps(expectedXmp, tags);
        if (xmpLines(back->xmpData()) != xmpLines(expectedXmp))
            throw std::runtime_error("XMP packet was not kept");
        if (embeddedImages(*back) != embeddedImages(*image)
            || makerNoteImages(written, back->exifData()) != makerNoteImages(part, image->exifData()))
            throw std::runtime_error("an embedded preview image would change");
        if (imageData(written) != imageData(part))
            throw std::runtime_error("the image data would change");
        // exiv2 may have warned about the photo as it is; what it does not
        // understand was not touched.
        firstWarning.clear();
        qsizetype writtenScan = 0;
        segmentsOf(written, &writtenScan);
        written.truncate(writtenScan);
        *head = written;
        *bodyStart = scan;
        return true;
    } catch (...) {
        return failed(error);
    }
}

bool carryMetadata(const QByteArray &source, const QByteArray &encoded, const QSize &size,
                   const GpsTags *tags, QByteArray *out, QString *error)
{
    const auto held = mediaformat::holdExiv2();
    initExiv2();
    try {
        auto from = openJpeg(source);
        auto to = openJpeg(encoded);
        Exiv2::ExifData exif = from->exifData();
        if (!exif.empty()) {
            // The new pixels are upright, sized anew and have no thumbnail.
            assign(exif, "Exif.Image.Orientation", Exiv2::UShortValue(1));
            updateIfPresent(exif, "Exif.Photo.PixelXDimension", uint32_t(size.width()));
            updateIfPresent(exif, "Exif.Photo.PixelYDimension", uint32_t(size.height()));
            // How the old pixels were stored says nothing of the new JPEG.
            for (const char *key : kEncodingKeys) {
                const auto it = exif.findKey(Exiv2::ExifKey(key));
                if (it != exif.end())
                    exif.erase(it);
            }
            Exiv2::ExifThumb(exif).erase();
        }
        if (tags)
            setGpsTags(exif, *tags);
        to->setByteOrder(from->byteOrder()); // the maker note is in the source's order
        to->setExifData(exif);
        to->setIptcData(from->iptcData());
        if (from->exifData().empty() && from->iptcData().empty() && from->xmpPacket().empty() && !tags) {
            *out = encoded;
            return true;
        }
        QByteArray xmp = xmpSegments(source);
        std::string packet = from->xmpPacket();
        adjustXmp(from->xmpData(), tags, &xmp, &packet);
        const QByteArray result = writeAndVerify(*to, xmp, packet);
        throwOnWarning();
        // exiv2 lays a maker note out anew, and offsets inside it that it
        // does not know keep their numbers: a preview they point at would
        // read as garbage. Every embedded image of the result must be one
        // of the source's (the thumbnail is dropped, not changed).
        auto back = openJpeg(result);
        const QList<QByteArray> sourceImages = embeddedImages(*from);
        for (const QByteArray &image : embeddedImages(*back))
            if (!image.isEmpty() && !sourceImages.contains(image))
                throw std::runtime_error("an embedded preview image would be damaged");
        const QList<QByteArray> resultImages = makerNoteImages(result, back->exifData());
        for (const QByteArray &image : makerNoteImages(source, from->exifData()))
            if (!resultImages.contains(image))
                throw std::runtime_error("a maker-note preview image would be damaged");
        *out = result;
        return true;
    } catch (...) {
        return failed(error);
    }
}

std::optional<GeoPoint> readGpsPosition(const QByteArray &jpeg)
{
    const auto held = mediaformat::holdExiv2();
    initExiv2();
    try {
        auto image = openJpeg(jpeg);
        const Exiv2::ExifData &exif = image->exifData();
        const auto lat = exif.findKey(Exiv2::ExifKey(kGpsKeys[2]));
        const auto lon = exif.findKey(Exiv2::ExifKey(kGpsKeys[4]));
        if (lat == exif.end() || lon == exif.end())
            return std::nullopt;
        const auto latRef = exif.findKey(Exiv2::ExifKey(kGpsKeys[1]));
        const auto lonRef = exif.findKey(Exiv2::ExifKey(kGpsKeys[3]));
        GeoPoint point;
        point.latitude = dmsDegrees(*lat);
        point.longitude = dmsDegrees(*lon);
        if (latRef != exif.end() && latRef->toString() == "S")
            point.latitude = -point.latitude;
        if (lonRef != exif.end() && lonRef->toString() == "W")
            point.longitude = -point.longitude;
        return point;
    } catch (...) {
        return std::nullopt;
    }
}

QString positionText(const GeoPoint &point)
{
    return angleText(point.latitude, QLatin1Char('N'), QLatin1Char('S'), 2) + QLatin1Char(',')
        + angleText(point.longitude, QLatin1Char('E'), QLatin1Char('W'), 3);
}

namespace {

const char kFrameNamespace[] = "http://gpsuite.invalid/ns/pixplot/1.0/";
const char kFrameKey[] = "Xmp.pixplot.Framed";
const QByteArray kXmpSignature("http://ns.adobe.com/xap/1.0/", 29); // with its NUL

void initFrameNamespace()
{
    initExiv2();
}

// The main XMP segment among the segments before the scan: where it starts
// and its size (0: none). Stops quietly where bytes end, so a file's first
// part will do.
std::pair<qsizetype, qsizetype> mainXmpSegment(const QByteArray &jpeg, qsizetype *afterApp = nullptr)
{
    const auto byte = [&](qsizetype i) { return quint8(jpeg.at(i)); };
    if (afterApp)
        *afterApp = 2;
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return {0, 0};
    bool leading = true;
    for (qsizetype pos = 2; pos + 4 <= jpeg.size();) {
        if (byte(pos) != 0xFF)
            break;
        const quint8 marker = byte(pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qsizetype size = 2 + ((qsizetype(byte(pos + 2)) << 8) | byte(pos + 3));
        if (size < 4)
            break;
        if (marker == 0xE1 && QByteArrayView(jpeg).sliced(pos + 4).startsWith(kXmpSignature))
            return {pos, std::min(size, jpeg.size() - pos)};
        leading = leading && (marker == 0xE0 || marker == 0xE1);
        if (leading && afterApp)
            *afterApp = pos + size;
        pos += size;
    }
    return {0, 0};
}

std::string packetOf(const QByteArray &jpeg, std::pair<qsizetype, qsizetype> segment)
{
    const qsizetype from = segment.first + 4 + kXmpSignature.size();
    const qsizetype to = segment.first + segment.second;
    return segment.second == 0 || to <= from ? std::string() : jpeg.mid(from, to - from).toStdString();
}

} // namespace

bool markFramed(const QByteArray &jpeg, QByteArray *out, QString *error)
{
    const auto held = mediaformat::holdExiv2();
    initFrameNamespace();
    try {
        qsizetype afterApp = 2;
        const auto segment = mainXmpSegment(jpeg, &afterApp);
        if (jpeg.size() < 4 || quint8(jpeg.at(0)) != 0xFF || quint8(jpeg.at(1)) != 0xD8)
            throw std::runtime_error("not a JPEG file");
        Exiv2::XmpData xmp;
        const std::string packet = packetOf(jpeg, segment);
        if (!packet.empty() && Exiv2::XmpParser::decode(xmp, packet) != 0)
            throw std::runtime_error("the XMP packet does not read");
        xmp[kFrameKey] = "True";
        std::string encoded;
        if (Exiv2::XmpParser::encode(encoded, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
            throw std::runtime_error("cannot encode the XMP packet");
        const qsizetype length = 2 + kXmpSignature.size() + qsizetype(encoded.size());
        if (length > 0xFFFF)
            throw std::runtime_error("the XMP packet is too large for one segment");
        const QByteArray fresh = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF)
            + kXmpSignature + QByteArray::fromStdString(encoded);
        const qsizetype at = segment.second > 0 ? segment.first : afterApp;
        *out = jpeg.left(at) + fresh + jpeg.mid(at + segment.second);
        return true;
    } catch (...) {
        return failed(error);
    }
}

bool isMarkedFramed(const QByteArray &jpegHead)
{
    const std::string packet = packetOf(jpegHead, mainXmpSegment(jpegHead));
    // Most photos never were framed: no parse without the namespace.
    if (packet.find(kFrameNamespace) == std::string::npos)
        return false;
    initFrameNamespace();
    try {
        Exiv2::XmpData xmp;
        if (Exiv2::XmpParser::decode(xmp, packet) != 0)
            return false;
        const auto it = xmp.findKey(Exiv2::XmpKey(kFrameKey));
        return it != xmp.end() && it->toString() == "True";
    } catch (...) {
        return false;
    }
}

} // namespace pixplot::gpstagwriter
