// Feeds arbitrary bytes to the EXIF reader as the contents of a photo file.
#include "core/exifreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ExifReader reader;
    try {
        reader.LoadBytes(data, qsizetype(size));
        // Ask for what pixplot asks for, and walk every decoded value.
        (void)reader.Tag(36867).toString();
        const QVariant count = reader.Tag(0);
        if (count.isValid() && count.toLongLong() != reader.entries().size())
            std::abort();
        for (const ExifEntry &entry : reader.entries()) {
            if (entry.ValueOffset < 0 || entry.Count < 0)
                std::abort(); // offsets and counts of 2^31 and more must fail, not wrap
            (void)entry.Value.toString();
        }
        (void)reader.MakerNoteTag(0x927C);
    } catch (const ExifError &e) {
        if (e.code != ExifError::Overflow && e.code != ExifError::OutOfRange)
            std::abort();
    }
    return 0;
}
