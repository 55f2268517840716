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

// A line of fewer than 54 characters gives nothing. A line whose fixed
// pieces sit at their 54-character places is read at those places and listed
// as its first 54 characters; a longer point (record numbers of four or more
// digits, five fraction digits) is split at its pieces and kept up to its
// closing "'".
std::optional<ParsedTrackLine> ParseTrackLine(const QString &line);

// Parses every line into store rows from firstRow on; returns the listed
// texts of the lines kept, in order.
QStringList parseTrackLines(const QStringList &lines, PointStore &store, int firstRow);

// Reads a GTXT file (GBK or UTF-8, CR LF or LF). False when it cannot be read.
bool readGtxtFile(const QString &path, QStringList *lines);
// Writes the list lines atomically in GBK; in UTF-8 only when some line holds
// a character GBK has not.
bool writeGtxtFile(const QString &path, const QStringList &lines, QString *error = nullptr);

QString gtxtSavedMessage(const QString &path, int count);

} // namespace trekport
