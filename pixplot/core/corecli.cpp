#include "core/corecli.h"

#include "core/pathfile.h"
#include "core/systemfinction.h"
#include "common/consoletext.h"
#include "common/safefile.h"

#include <QFileInfo>

#include <charconv>
#include <cstdio>

namespace pixplot {

namespace {

const QString ExifTimeOption = QStringLiteral("exif-time");
const QString ReadPathOption = QStringLiteral("read-path");

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void writeErr(const QString &text) { common::printLine(stderr, text); }

// Appends text as UTF-8 without a temporary array for the usual ASCII text.
void appendText(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *d = out.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            out.resize(at);
            out += text.toUtf8();
            return;
        }
        d[i] = char(c);
    }
}

// Appends v in decimal, zero-padded to at least width digits.
void appendInteger(QByteArray &out, qint64 v, int width)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    const qsizetype n = r.ptr - digits;
    if (v >= 0 && n < width)
        out.append(QByteArray::size_type(width - n), '0');
    out.append(digits, n);
}

int runExifTime(const QStringList &photos)
{
    if (photos.isEmpty()) {
        writeErr(QStringLiteral("--exif-time needs at least one photo."));
        return 2;
    }
    int status = 0;
    for (const QString &photo : photos) {
        QString reason;
        if (!common::checkInputFile(photo, &reason)) {
            writeErr(photo + QStringLiteral(": ") + reason);
            status = 1;
            continue;
        }
        const QFileInfo info(photo);
        QString folder = info.path();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const PhotoRecord record = systemfinction::ReadPhotoRecord(info.fileName(), folder);
        if (record.fileName.isEmpty()) {
            writeErr(photo + QStringLiteral(": not an existing .jpg file"));
            status = 1;
            continue;
        }
        writeOut((photo + QLatin1Char('\t') + record.shotTime + QLatin1Char('\n')).toUtf8());
    }
    std::fflush(stdout);
    return status;
}

int runReadPath(const QString &file, const common::TimeZoneSetting &zone)
{
    // Printed as read: no point is kept, however long the log.
    pathfile::PathReader reader;
    QString error;
    if (!reader.open(file, &error, zone)) {
        writeErr(file + QStringLiteral(": ") + error);
        return 1;
    }
    // Written in blocks straight from the texts: a long log gives a million lines.
    QByteArray block;
    block.reserve(1 << 20);
    qsizetype row = 0;
    const QByteArray recordPrefix = QStringLiteral("记录").toUtf8();
    PathPoint p;
    qint64 first = 0;
    while (reader.next(&p)) {
        if (row == 0)
            first = p.utcSeconds();
        p.offsetSeconds = p.utcSeconds() - first;
        ++row;
        const QString position = p.positionText();
        const GeoPoint g = systemfinction::ParsePositionText(position);
        block += recordPrefix;
        appendInteger(block, row, 4);
        block += '\t';
        appendText(block, p.pointTime());
        block += '\t';
        appendText(block, position);
        block += '\t';
        appendInteger(block, p.offsetSeconds, 1);
        block += '\t';
        appendText(block, systemfinction::NumberText(g.longitude));
        block += '\t';
        appendText(block, systemfinction::NumberText(g.latitude));
        block += '\n';
        if (block.size() > (1 << 20) - 512) {
            writeOut(block);
            block.clear();
        }
    }
    writeOut(block);
    std::fflush(stdout);
    if (reader.failed()) {
        writeErr(file + QStringLiteral(": ") + reader.errorString());
        return 1;
    }
    return 0;
}

} // namespace

void addCoreOptions(QCommandLineParser &parser)
{
    parser.addOption({ExifTimeOption,
                      QStringLiteral("Print each PHOTO's EXIF shooting time (path, tab, time).")});
    parser.addOption({ReadPathOption,
                      QStringLiteral("Print the points pixplot reads from an NMEA or GPX path file."),
                      QStringLiteral("FILE")});
}

bool readZoneOption(const QCommandLineParser &parser, common::TimeZoneSetting *zone)
{
    const QString name = QStringLiteral("zone");
    if (!parser.isSet(name)) {
        *zone = common::TimeZoneSetting();
        return true;
    }
    const auto parsed = common::TimeZoneSetting::parse(parser.value(name));
    if (!parsed) {
        writeErr(common::TimeZoneSetting::invalidMessage(parser.value(name)));
        return false;
    }
    *zone = *parsed;
    return true;
}

std::optional<int> runCoreOptions(const QCommandLineParser &parser)
{
    const bool exifTime = parser.isSet(ExifTimeOption);
    const bool readPath = parser.isSet(ReadPathOption);
    if (exifTime && readPath) {
        writeErr(QStringLiteral("--exif-time and --read-path cannot be combined."));
        return 2;
    }
    if (exifTime)
        return runExifTime(parser.positionalArguments());
    if (readPath) {
        if (!parser.positionalArguments().isEmpty()) {
            writeErr(QStringLiteral("--read-path takes no photos."));
            return 2;
        }
        common::TimeZoneSetting zone;
        if (!readZoneOption(parser, &zone))
            return 2;
        return runReadPath(parser.value(ReadPathOption), zone);
    }
    return std::nullopt;
}

} // namespace pixplot
