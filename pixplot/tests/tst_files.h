#pragma once
// Real files for pixplot's tests, without widgets: JPEG photos whose EXIF
// time exiftool writes, NMEA path files, a fresh folder per test function,
// and the built pixplot program run as the user runs it.
#include "common/testsupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace fixtures {

using testsupport::Run;
using testsupport::run;

// The program beside the test executables.
inline QString pixplotProgram()
{
    return testsupport::builtProgram(QStringLiteral("pixplot"));
}

inline Run runPixplot(const QStringList &args)
{
    return run(pixplotProgram(), args);
}

[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// dir/name holding bytes; its path, or "" when it could not be written.
inline QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    return writeFile(path, bytes) ? path : QString();
}

// Headless chromium with a fresh profile in profileDir, quiet on the network.
inline QStringList chromiumArgs(const QString &profileDir)
{
    return {QStringLiteral("--headless"),
            QStringLiteral("--no-sandbox"),
            QStringLiteral("--disable-gpu"),
            QStringLiteral("--disable-quic"),
            QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"),
            QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"),
            QStringLiteral("--user-data-dir=") + profileDir};
}

// A decodable JPEG whose EXIF block (Intel order) holds only
// DateTimeOriginal, in IFD0.
inline QByteArray photoWithTime(const QByteArray &time)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0", 2);                              // one entry
    tiff += QByteArray("\x03\x90\x02\0\x14\0\0\0\x1A\0\0\0", 12); // 0x9003 ASCII x20 at 26
    tiff += QByteArray(4, 0);                                     // no next directory
    tiff += time + QByteArray(1, 0);
    QByteArray app1("\xFF\xE1", 2);
    app1 += char(0);
    app1 += char(tiff.size() + 8);
    app1 += QByteArray("Exif\0\0", 6) + tiff;
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

// jpeg whose frame header claims width x height: what a decoder would
// allocate for, whatever few bytes of image data follow.
inline QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i)
        if (quint8(jpeg[i]) == 0xFF && (quint8(jpeg[i + 1]) == 0xC0 || quint8(jpeg[i + 1]) == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width);
            break;
        }
    return jpeg;
}

// A photo of one colour (JPEG quality 95).
[[nodiscard]] inline bool writeJpeg(const QString &path, int width, int height,
                                    QColor colour = QColor(200, 60, 40))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "JPG", 95);
}

// Writes EXIF DateTimeOriginal ("YYYY:MM:DD hh:mm:ss") into each photo with
// one exiftool run (initTestCase checks that exiftool is there).
[[nodiscard]] inline bool setExifTimes(const QList<QPair<QString, QString>> &photoTimes)
{
    QStringList args;
    for (qsizetype i = 0; i < photoTimes.size(); ++i) {
        if (i > 0)
            args << QStringLiteral("-execute") << QStringLiteral("-q")
                 << QStringLiteral("-overwrite_original");
        args << QStringLiteral("-DateTimeOriginal=") + photoTimes.at(i).second << photoTimes.at(i).first;
    }
    return testsupport::exiftoolWrite(args);
}

// A photo with an EXIF time (colon form).
[[nodiscard]] inline bool writePhoto(const QString &path, const QString &exifTime, int width = 64,
                                     int height = 48)
{
    return writeJpeg(path, width, height) && (exifTime.isEmpty() || setExifTimes({{path, exifTime}}));
}

// A photo with an EXIF time and further exiftool assignments ("-Make=Canon",
// "-OffsetTimeOriginal=+02:00").
[[nodiscard]] inline bool writeTaggedPhoto(const QString &path, const QString &exifTime,
                                           const QStringList &assignments)
{
    return writeJpeg(path, 32, 24)
        && testsupport::exiftoolWrite(QStringList{QStringLiteral("-DateTimeOriginal=") + exifTime}
                                      + assignments + QStringList{path});
}

// "$GPRMC" sentence for a UTC time "hhmmss" on date "ddmmyy".
inline QString rmc(const QString &hhmmss, const QString &ddmmyy,
                   const QString &lat = QStringLiteral("3150.1234"),
                   const QString &lon = QStringLiteral("11846.5678"),
                   const QString &status = QStringLiteral("A"))
{
    return QStringLiteral("$GPRMC,%1,%2,%3,N,%4,E,0.0,0.0,%5,,,A*00").arg(hhmmss, status, lat, lon, ddmmyy);
}

// Text written with CRLF line ends, line by line; a lone LF stays inside
// its line, so a file written with the wrong ends does not compare equal.
inline QStringList crlfLines(const QByteArray &bytes)
{
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

[[nodiscard]] inline bool writeLines(const QString &path, const QStringList &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QString &l : lines)
        f.write(l.toUtf8() + "\r\n");
    return f.flush();
}

// A file of the formats corpus copied to path (tests never write into the
// corpus); false when it could not be copied.
[[nodiscard]] inline bool copyFormatsFile(const QString &name, const QString &path)
{
    return QFile::copy(testsupport::corpusDir() + QStringLiteral("/formats/") + name, path);
}

// What exiftool reads from files, one JSON object per file (numbers as
// numbers with -n). Empty when exiftool fails.
inline QJsonArray exiftoolJson(const QStringList &files, const QStringList &options)
{
    QByteArray out, err;
    const int rc = testsupport::runProgram(QStringLiteral("exiftool"),
                                           QStringList{QStringLiteral("-j")} + options + files, &out, &err);
    if (rc != 0 && out.isEmpty())
        qWarning("exiftool: %s", err.constData());
    return QJsonDocument::fromJson(out).array();
}

// A test class whose every test function gets a fresh temporary folder
// (a class with an init() of its own calls FolderTest::init() first).
class FolderTest : public QObject {
    Q_OBJECT
protected:
    std::unique_ptr<QTemporaryDir> dir;
    QString file(const QString &name) const { return dir->filePath(name); }

protected slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() { dir.reset(); }
};

} // namespace fixtures
