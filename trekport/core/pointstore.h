#pragma once
// The track points as the window keeps them: eleven cells per point, in rows
// that match the list lines, plus the list line built from a row. Cells are
// held as numbers and their digit counts, so a point costs a few dozen bytes;
// the texts are made when a row is read.
#include <QHash>
#include <QString>
#include <array>
#include <vector>

namespace trekport {

enum Column {
    ColRecord = 0,
    ColKind,
    ColMonth,
    ColDay,
    ColHour,
    ColMinute,
    ColSecond,
    ColLatDeg,
    ColLatMin,
    ColLonDeg,
    ColLonMin,
    ColumnCount
};

using TrackRow = std::array<QString, ColumnCount>;

inline const QString kindAuto = QStringLiteral("自动");
inline const QString kindMarked = QStringLiteral("标记");

// Rows grow on demand; a row is never erased, only overwritten when its line
// index is used again.
class PointStore {
public:
    // The cells of a row; an empty row beyond the end.
    TrackRow at(int index) const;
    QString cell(int index, Column column) const;
    // Writes a whole row (growing the table up to index). listed: the text
    // the list shows for it when that is not the row's own list line.
    void setRow(int index, const TrackRow &row, const QString &listed = QString());
    // Writes one cell; the row's list line is its own again.
    void setCell(int index, Column column, const QString &text);
    // Number cells as the logger's bytes give them: value padded with zeros
    // to at least `digits`; minutes as whole minutes and fraction number.
    void setNumber(int index, Column column, quint32 value, int digits);
    void setMinutes(int index, Column column, quint32 whole, quint32 fraction);
    void setMarked(int index, bool marked);

    // The text the list shows for row index.
    QString line(int index) const;

    int size() const { return int(rows_.size()); }
    void reserve(int n) { rows_.reserve(size_t(n)); }

private:
    // The numbers of a row: minutes take two (whole, fraction).
    enum Field {
        FRecord,
        FMonth,
        FDay,
        FHour,
        FMinute,
        FSecond,
        FLatDeg,
        FLatWhole,
        FLatFrac,
        FLonDeg,
        FLonWhole,
        FLonFrac,
        FieldCount
    };
    enum Kind : quint8 { KindEmpty, KindAuto, KindMarked, KindText };
    // A digit count of 0 is an empty cell.
    struct Packed {
        quint32 value[FieldCount];
        quint8 digits[FieldCount];
        quint8 kind;
    };
    static bool pack(const TrackRow &row, Packed *packed);
    static TrackRow unpack(const Packed &packed);
    Packed &grow(int index);
    void store(int index, const TrackRow &row);

    std::vector<Packed> rows_;
    // Rows whose cells are not plain numbers (a hand-edited GTXT line) keep
    // their texts here; they are rare.
    QHash<int, TrackRow> textRows_;
    QHash<int, QString> listed_;
};

// "记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"
QString listLine(const TrackRow &row);

// True when the row's position cells are numbers that no place has:
// latitude over 90°, longitude over 180°, minutes of 60 or more. Cells that
// are not numbers are not judged here.
bool positionImpossible(const TrackRow &row);

// The decimal text of v with at least `digits` digits.
QString pad(int v, int digits);

// Whole minutes, a point, then the two fraction bytes' decimal texts joined
// and read as one number of at least four digits: (12, 3, 45) -> "12.0345".
QString minutesText(int whole, int f1, int f2);
// The fraction number of minutesText: (3, 45) -> 345.
quint32 minutesFraction(int f1, int f2);

// Number of characters of a list line's coordinate part.
constexpr int coordinatePartLength = 26;
QString coordinatePart(const QString &line);

} // namespace trekport
