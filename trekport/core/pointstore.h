#pragma once
// The track points as the window keeps them: eleven texts per point, in rows
// that match the list lines, plus the list line built from a row.
#include <QList>
#include <QString>
#include <array>

namespace trekport {

enum Column {
    ColRecord = 0, ColKind, ColMonth, ColDay, ColHour, ColMinute, ColSecond,
    ColLatDeg, ColLatMin, ColLonDeg, ColLonMin, ColumnCount
};

using TrackRow = std::array<QString, ColumnCount>;

inline const QString kindAuto = QStringLiteral("自动");
inline const QString kindMarked = QStringLiteral("标记");

// Rows grow on demand; a row is never erased, only overwritten when its line
// index is used again.
class PointStore {
public:
    TrackRow &row(int index);             // grows the table up to index
    const TrackRow &at(int index) const;  // an empty row beyond the end
    int size() const { return int(rows_.size()); }
    void reserve(int n) { rows_.reserve(n); }

private:
    QList<TrackRow> rows_;
};

// "记录007| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'"
QString listLine(const TrackRow &row);

// The decimal text of v with at least `digits` digits.
QString pad(int v, int digits);

// Whole minutes, a point, then the two fraction bytes' decimal texts joined
// and read as one number of at least four digits: (12, 3, 45) -> "12.0345".
QString minutesText(int whole, int f1, int f2);

// Number of characters of a list line's coordinate part.
constexpr int coordinatePartLength = 26;
QString coordinatePart(const QString &line);

} // namespace trekport
