#include "gtxtfile.h"

#include "common/textfile.h"

#include <QRegularExpression>

namespace trekport {
namespace {

struct Piece {
    int pos; // 1-based in a 54-character line
    const char16_t *text;
};

// The fixed pieces of a list line and where a 54-character line has them.
const Piece fixedPieces[] = {
    {1, u"记录"}, {6, u"| "},   {10, u"| "}, {14, u"月"},  {17, u"日 "}, {21, u":"},
    {24, u":"},   {27, u"| N"}, {32, u"°"},  {40, u"',E"}, {46, u"°"},   {54, u"'"},
};

struct Cell {
    int from; // 1-based
    int to;
};
const Cell cellPlaces[ColumnCount] = {
    {3, 5}, {8, 9}, {12, 13}, {15, 16}, {19, 20}, {22, 23}, {25, 26}, {30, 31}, {33, 39}, {43, 45}, {47, 53},
};

bool piecesAtFixedPlaces(const QString &line)
{
    for (const Piece &p : fixedPieces) {
        const QString text = QString::fromUtf16(p.text);
        if (QStringView(line).mid(p.pos - 1, text.size()) != text)
            return false;
    }
    return true;
}

TrackRow cellsAtFixedPlaces(const QString &line)
{
    TrackRow row;
    for (int c = 0; c < ColumnCount; ++c)
        row[c] = line.mid(cellPlaces[c].from - 1, cellPlaces[c].to - cellPlaces[c].from + 1);
    return row;
}

const QRegularExpression &piecePattern()
{
    static const QRegularExpression re(QStringLiteral(
        "^记录(.*?)\\| (.*?)\\| (.*?)月(.*?)日 (.*?):(.*?):(.*?)\\| N(.*?)°(.*?)',E(.*?)°(.*?)'"));
    return re;
}

} // namespace

std::optional<ParsedTrackLine> ParseTrackLine(const QString &line)
{
    if (line.size() < trackLineLength)
        return std::nullopt;
    if (!piecesAtFixedPlaces(line)) {
        const QRegularExpressionMatch m = piecePattern().match(line);
        if (!m.hasMatch())
            return std::nullopt; // not a list line: a NAME file, a note, garbage
        ParsedTrackLine parsed;
        for (int c = 0; c < ColumnCount; ++c)
            parsed.row[c] = m.captured(c + 1);
        // A match shorter than a list line would be dropped when the list is
        // saved and read again: such a line is listed as its first 54 characters.
        parsed.listed = m.capturedLength(0) >= trackLineLength ? m.captured(0) : line.left(trackLineLength);
        return parsed;
    }
    return ParsedTrackLine{cellsAtFixedPlaces(line), line.left(trackLineLength)};
}

int parseTrackLines(const QStringList &lines, PointStore &store, int firstRow, int *ignored, int *cut)
{
    int others = 0;
    int shortened = 0;
    int kept = 0;
    store.reserve(firstRow + int(lines.size()));
    for (const QString &line : lines) {
        const std::optional<ParsedTrackLine> parsed = ParseTrackLine(line);
        if (!parsed) {
            if (!line.trimmed().isEmpty())
                ++others;
            continue;
        }
        if (parsed->listed.size() < line.size())
            ++shortened;
        store.setRow(firstRow + kept, parsed->row, parsed->listed);
        ++kept;
    }
    if (ignored)
        *ignored = others;
    if (cut)
        *cut = shortened;
    return kept;
}

QString ignoredLinesMessage(int ignored)
{
    return QStringLiteral("另有 %1 行不是轨迹点，已忽略。").arg(ignored);
}

QString noTrackPointsMessage(const QString &path, int ignored)
{
    QString text = path + QStringLiteral("\r\n中没有轨迹点，未读取任何内容。");
    if (ignored > 0)
        text += QStringLiteral("\r\n\r\n") + ignoredLinesMessage(ignored);
    return text;
}

bool readGtxtFile(const QString &path, QStringList *lines, QString *error)
{
    return common::readTextLines(path, common::TextEncoding::Utf8OrGbk, lines, error);
}

bool writeGtxtFile(const QString &path, const PointStore &store, int count, QString *error)
{
    // Line by line, so a long track is never held as texts all at once.
    QByteArray gbk;
    gbk.reserve(qsizetype(count) * 68);
    for (int i = 0; i < count; ++i) {
        const QString line = store.line(i);
        const QByteArray bytes = common::encodeText(line, common::TextEncoding::Gbk);
        // A line GBK cannot hold (text from a hand-edited UTF-8 file) would
        // come back as "?"; such a list is kept in UTF-8, which reading
        // takes as well.
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))
            || common::decodeText(bytes, common::TextEncoding::Gbk) != line) {
            QStringList lines;
            lines.reserve(count);
            for (int k = 0; k < count; ++k)
                lines << store.line(k);
            return common::writeTextLines(path, lines, common::TextEncoding::Utf8, error);
        }
        gbk += bytes;
        gbk += "\r\n";
    }
    return common::writeFileAtomically(path, gbk, error);
}

QString loadedMessage(const QString &path, int kept)
{
    return QStringLiteral("已读取") + path + QStringLiteral("，共%1个轨迹点。").arg(kept);
}

QString gtxtSavedMessage(const QString &path, int count)
{
    return QStringLiteral("GTXT轨迹数据文件已保存到\r\n") + path + QStringLiteral("！\r\n\r\n共")
        + QString::number(count) + QStringLiteral("个轨迹点。");
}

} // namespace trekport
