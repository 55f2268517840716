#pragma once
// A small reader of AVI files (RIFF chunks): the recording time a camera
// writes into the header list's IDIT chunk. Every size a chunk claims is
// checked against the chunk around it; the movie data is skipped, not read.
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

namespace pixplot::riffreader {

struct AviInfo {
    bool isAvi = false; // the file starts with a RIFF AVI header
    QString shotTime;   // YYYY-MM-DD hh:mm:ss, the camera's clock; "" when none
};

// True when head (the first bytes of a file) starts as an AVI file does.
bool looksLikeAvi(QByteArrayView head);

// Walks the chunks of device (opened for reading, seekable).
AviInfo readAvi(QIODevice &device);

// The time of an IDIT text as "YYYY-MM-DD hh:mm:ss": the ctime form of the
// format's own documents ("Mon Mar 10 15:04:43 2003") and the numeric forms
// cameras write ("2009/10/27 12:14:34", "2005:08:01 10:11:12",
// "2001/ 1/27  1:42PM"). "" when it is none of them or no valid time.
QString iditTime(QByteArrayView text);

} // namespace pixplot::riffreader
