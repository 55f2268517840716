#pragma once
// Reads the EXIF block of a JPEG photo into a flat list of directory entries
// that callers look up by tag id (36867 = DateTimeOriginal).
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <stdexcept>

namespace pixplot {

// A failed read. code keeps the classic numbers callers may report:
// 6 overflow, 9 position outside the file, 53 file missing or unreadable.
class ExifError : public std::runtime_error {
public:
    enum Code { Overflow = 6, OutOfRange = 9, FileNotFound = 53 };
    ExifError(Code code, const char *what) : std::runtime_error(what), code(code) { }
    Code code;
};

struct ExifEntry {
    qint32 TagId = 0;
    bool IsMakerNote = false; // the directory walk never sets it
    qint32 DataType = 0;
    qint32 Count = 0;
    qint32 ValueOffset = 0; // set only when the values lie outside the entry
    QVariant Value;         // invalid (empty), QString or qint64
};

class ExifReader {
public:
    // Stores the path; nothing is read.
    void setPicFile(const QString &fileName) { picFile = fileName; }
    QString picFileName() const { return picFile; }

    // Takes fileName when no path is set yet, then reads and parses the file.
    // Throws ExifError; entries decoded before the failure stay.
    void Load(const QString &fileName);
    // Parses a file already in memory, as Load does after reading it.
    void loadBytes(const uchar *data, qsizetype length);

    // Value of the first entry with tagId; tag 0 gives the entry count.
    // Loads first when a path is set and no EXIF was found yet.
    QVariant Tag(qint32 tagId);
    QVariant MakerNoteTag(qint32 tagId) const;

    bool hasExif() const { return HasExif; }
    bool intelOrder() const { return Intel; } // byte order of the last block read
    const QList<ExifEntry> &entries() const { return Entries; }
    qint32 app1Pos() const { return App1Pos; }
    // Directory entries the last parse decoded; never more than the file
    // has 12-byte slots for, however its directories overlap.
    qint64 decodedEntries() const { return DecodedEntries; }

private:
    quint8 byteAt(qint64 index) const;
    void requireRange(qint64 first, qint64 last) const; // throws when [first, last] is not at hand
    quint32 read16(qint64 index) const;
    quint32 read32(qint64 index) const;
    qint32 readOffset32(qint64 index) const; // fails on values of 2^31 and more
    bool FindExifBlock();
    bool IsIntelOrder() const;
    void ReadDirectoryChain(qint64 p);
    void decodeValue(ExifEntry &entry, qint64 e);
    void decodeInlineValue(ExifEntry &entry, qint64 e); // a value of four bytes or fewer, in the entry
    void decodeOffsetValue(ExifEntry &entry, qint64 e); // a longer value, where the entry points
    void countDecodedBytes(qint64 count); // throws when the values repeat the file too often

    // The file while it is parsed: Bytes[0..Length-1], index Length reads as 0.
    const uchar *Bytes = nullptr;
    qint64 Length = 0;
    bool Intel = false;
    bool Partial = false;      // only the head of a longer file is at hand
    qint64 DecodedBytes = 0;   // bytes rendered as text by this parse
    qint64 DecodedEntries = 0; // directory entries decoded by this parse

    qint32 App1Pos = 0;
    qint64 TiffStart = 0;
    qint64 NextIfdOffset = 0;
    QList<ExifEntry> Entries;
    bool EntriesAllocated = false;
    qint64 ExifIfdOffset = 0;
    QString picFile;
    bool HasExif = false;
};

} // namespace pixplot
