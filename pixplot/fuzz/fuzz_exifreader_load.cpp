// Feeds arbitrary bytes to the EXIF reader as a photo file on disk, and
// checks that reading the file (head first, whole file when needed) agrees
// with parsing the same bytes held in memory.
#include "core/exifreader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using pixplot::ExifEntry;
using pixplot::ExifError;
using pixplot::ExifReader;

namespace {

struct Outcome {
    int code = 0;
    bool hasExif = false;
    QList<ExifEntry> entries;
};

Outcome inspect(ExifReader &reader, int code)
{
    Outcome o;
    o.code = code;
    o.hasExif = reader.hasExif();
    o.entries = reader.entries();
    for (const ExifEntry &entry : o.entries) {
        if (entry.ValueOffset < 0 || entry.Count < 0)
            std::abort(); // offsets and counts of 2^31 and more must fail, not wrap
    }
    return o;
}

bool same(const Outcome &a, const Outcome &b)
{
    if (a.code != b.code || a.hasExif != b.hasExif || a.entries.size() != b.entries.size())
        return false;
    for (qsizetype i = 0; i < a.entries.size(); ++i) {
        const ExifEntry &x = a.entries[i], &y = b.entries[i];
        if (x.TagId != y.TagId || x.DataType != y.DataType || x.Count != y.Count
            || x.ValueOffset != y.ValueOffset || x.Value != y.Value)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }

    ExifReader fromFile;
    int fileCode = 0;
    try {
        fromFile.Load(path);
        // Ask for what pixplot asks for.
        if (fromFile.hasExif())
            (void)fromFile.Tag(36867).toString();
        const QVariant count = fromFile.Tag(0);
        if (count.isValid() && count.toLongLong() != fromFile.entries().size())
            std::abort();
        (void)fromFile.MakerNoteTag(0x927C);
    } catch (const ExifError &e) {
        if (e.code != ExifError::Overflow && e.code != ExifError::OutOfRange)
            std::abort();
        fileCode = e.code;
    }

    ExifReader inMemory;
    int memoryCode = 0;
    try {
        inMemory.loadBytes(data, qsizetype(size));
    } catch (const ExifError &e) {
        memoryCode = e.code;
    }
    // Tag may load the file a second time; compare what one load gave.
    ExifReader once;
    int onceCode = 0;
    try {
        once.Load(path);
    } catch (const ExifError &e) {
        onceCode = e.code;
    }
    if (!same(inspect(once, onceCode), inspect(inMemory, memoryCode)))
        std::abort();
    (void)fileCode;
    return 0;
}
