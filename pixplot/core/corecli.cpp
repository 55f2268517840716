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
    for (const PathPoint &p : points) {
        ++row;
        const GeoPoint g = systemfinction::ParsePositionText(p.position);
        QString line = QStringLiteral("记录") + QString::number(row).rightJustified(4, QLatin1Char('0'));
        line += QLatin1Char('\t') + p.pointTime + QLatin1Char('\t') + p.position + QLatin1Char('\t')
            + QString::number(p.offsetSeconds) + QLatin1Char('\t')
            + systemfinction::NumberText(g.longitude) + QLatin1Char('\t')
            + systemfinction::NumberText(g.latitude) + QLatin1Char('\n');
        block += line.toUtf8();
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
