#pragma once
// The header of the raw files of Kyocera's (Contax) N Digital: a fixed
// layout whose texts are stored back to front ("ARECOYK" for KYOCERA),
// the shooting time among them. Other makers use the .raw suffix too, so a
// file is taken by its header, not by its name.
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

namespace pixplot::kyoceraraw {

struct Header {
    bool isKyocera = false; // the maker's name where the layout has it
    QString shotTime;       // YYYY-MM-DD hh:mm:ss, the camera's clock; "" when none
    QString make, model;
};

// How many of a file's first bytes looksLikeKyocera needs.
inline constexpr qsizetype kHeadSize = 0x9c;

// True when head (the first bytes of a file) is such a header.
bool looksLikeKyocera(QByteArrayView head);

// The header of device (opened for reading, seekable).
Header readHeader(QIODevice &device);

} // namespace pixplot::kyoceraraw
