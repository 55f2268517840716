#include "core/corecli.h"

#include "core/pathfile.h"
#include "core/systemfinction.h"

#include <QFileInfo>

#include <cstdio>

namespace pixplot {

namespace {

const QString ExifTimeOption = QStringLiteral("exif-time");
const QString ReadPathOption = QStringLiteral("read-path");

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void writeErr(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

int runExifTime(const QStringList &photos)
{
    if (photos.isEmpty()) {
        writeErr(QStringLiteral("--exif-time needs at least one photo."));
        return 2;
    }
    int status = 0;
    for (const QString &photo : photos) {
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

int runReadPath(const QString &file)
{
    QList<PathPoint> points;
    QString error;
    if (!pathfile::ReadPathFile(file, &points, &error)) {
        writeErr(file + QStringLiteral(": ") + error);
        return 1;
    }
    // Written in blocks: a long log gives a million lines.
    QByteArray block;
    block.reserve(1 << 20);
    qsizetype row = 0;
    const QByteArray recordPrefix = QStringLiteral("记录").toUtf8();
    for (const PathPoint &p : points) {
        ++row;
        const GeoPoint g = systemfinction::ParsePositionText(p.position);
        const QByteArray number = QByteArray::number(row);
        block += recordPrefix;
        if (number.size() < 4)
            block += QByteArray(4 - number.size(), '0');
        block += number;
        block += '\t';
        block += p.pointTime.toLatin1();
        block += '\t';
        block += p.position.toUtf8();
        block += '\t';
        block += QByteArray::number(p.offsetSeconds);
        block += '\t';
        block += systemfinction::NumberText(g.longitude).toLatin1();
        block += '\t';
        block += systemfinction::NumberText(g.latitude).toLatin1();
        block += '\n';
        if (block.size() > (1 << 20) - 256) {
            writeOut(block);
            block.clear();
        }
    }
    writeOut(block);
    std::fflush(stdout);
    return 0;
}

} // namespace

void addCoreOptions(QCommandLineParser &parser)
{
    parser.addOption({ExifTimeOption,
                      QStringLiteral("Print each PHOTO's EXIF shooting time (path, tab, time).")});
    parser.addOption({ReadPathOption,
                      QStringLiteral("Print the points pixplot reads from an NMEA path file."),
                      QStringLiteral("FILE")});
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
        return runReadPath(parser.value(ReadPathOption));
    }
    return std::nullopt;
}

} // namespace pixplot
