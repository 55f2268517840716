#pragma once
// GTXT track files: the list lines, one per point, GBK on disk.
#include "pointstore.h"

#include <QStringList>
#include <optional>

namespace trekport {

constexpr int trackLineLength = 54;

struct ParsedTrackLine {
    TrackRow row;
    QString listed; // the text the list shows for this line
};

// A line of fewer than 54 characters gives nothing, nor does one without the
// fixed pieces of a list line. A line whose fixed
// pieces sit at their 54-character places is read at those places and listed
// as its first 54 characters; a longer point (record numbers of four or more
// digits, five fraction digits) is split at its pieces and kept up to its
// closing "'" when that makes at least 54 characters, else it is read at the
// fixed places like any other line.
std::optional<ParsedTrackLine> ParseTrackLine(const QString &line);

// Parses every line into store rows from firstRow on (the store keeps what
// the list shows for each); returns how many lines were kept. *ignored: the
// non-blank lines that are not list lines (a NAME file read by mistake gives
// nothing but those); *cut: lines listed shorter than they are in the file.
int parseTrackLines(const QStringList &lines, PointStore &store, int firstRow, int *ignored = nullptr,
                    int *cut = nullptr);

// "另有 K 行不是轨迹点，已忽略。"
QString ignoredLinesMessage(int ignored);
// A file that held no list line at all.
QString noTrackPointsMessage(const QString &path, int ignored);

// Reads a GTXT file (GBK or UTF-8, CR LF or LF). False (and *error set) when
// it is not a regular file or cannot be read.
bool readGtxtFile(const QString &path, QStringList *lines, QString *error = nullptr);
// Writes the list lines of rows 0..count-1 atomically in GBK; in UTF-8 only
// when some line holds a character GBK has not.
bool writeGtxtFile(const QString &path, const PointStore &store, int count, QString *error = nullptr);

QString gtxtSavedMessage(const QString &path, int count);
// "已读取PATH，共N个轨迹点。": what a read listed.
QString loadedMessage(const QString &path, int kept);

} // namespace trekport
