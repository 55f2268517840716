#pragma once
// Changing a TIFF block (the body of a JPEG's Exif segment) by appending
// only: a new sub-directory and a copy of IFD0 pointing at it go after the
// last byte, and the header's IFD0 offset is the one byte range rewritten.
// Every byte the block had keeps its offset, so maker notes, previews and
// directories no reader fully understands stay valid.
#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace pixplot::tiffappend {

// TIFF field types.
enum Type : quint16 {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    Undefined = 7,
    SRational = 10,
};

// One directory entry; data holds count values of type in big-endian order
// and is turned to the block's order when written.
struct Entry {
    quint16 tag = 0;
    quint16 type = Byte;
    quint32 count = 0;
    QByteArray data;

    static Entry bytes(quint16 tag, const QList<quint8> &values);
    static Entry ascii(quint16 tag, const QByteArray &text); // the NUL is added
    static Entry rationals(quint16 tag, const QList<QPair<quint32, quint32>> &values);
    static Entry srationals(quint16 tag, const QList<QPair<qint32, qint32>> &values);
};

// Bytes per value of a field type; 0 for a type TIFF does not define.
int typeSize(quint16 type);

// A value of the block's standard directories that a TIFF reader could not
// read because it lies (partly) past the block's end.
struct ValuePastEnd {
    enum Directory { Image, Thumbnail, Photo, Interoperability } directory;
    quint16 tag;
};

// tiff with entries as the directory that IFD0's tag pointerTag points at
// (replacing the one it pointed at, which stays unreferenced where it was).
// A directory and IFD0 copy that an earlier call appended at the very end
// are replaced instead of piling up. A value reaching past the old end is
// not overlaid with new data: the appended part starts behind it, zeros
// between, and *pastEnd lists it. Throws std::runtime_error when tiff is
// not a TIFF block whose IFD0 can be read.
QByteArray withSubDirectory(const QByteArray &tiff, quint16 pointerTag, QList<Entry> entries,
                            QList<ValuePastEnd> *pastEnd = nullptr);

// A TIFF block (big-endian) holding only IFD0 with pointerTag and the
// directory of entries, for a photo that had no Exif block.
QByteArray newBlock(quint16 pointerTag, QList<Entry> entries);

} // namespace pixplot::tiffappend
