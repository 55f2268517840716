#include "pointstore.h"

namespace trekport {
namespace {

// Nine digits always fit in 32 bits.
constexpr int maxDigits = 9;

int digitCount(quint32 v)
{
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// A cell of ASCII digits only, 1 to 9 of them; or empty.
bool parseDigits(QStringView s, quint32 *value, quint8 *digits)
{
    if (s.size() > maxDigits)
        return false;
    quint32 v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *value = v;
    *digits = quint8(s.size());
    return true;
}

// The text of a number cell: value with leading zeros to `digits`.
QString digitsText(quint32 value, int digits)
{
    if (digits == 0)
        return QString();
    QString s(digits, QLatin1Char('0'));
    for (int i = digits - 1; i >= 0 && value > 0; --i) {
        s[i] = QChar(u'0' + value % 10);
        value /= 10;
    }
    return s;
}

} // namespace

bool PointStore::pack(const TrackRow &r, Packed *p)
{
    *p = Packed{};
    if (r[ColKind] == kindAuto)
        p->kind = KindAuto;
    else if (r[ColKind] == kindMarked)
        p->kind = KindMarked;
    else if (r[ColKind].isEmpty())
        p->kind = KindEmpty;
    else
        return false;
    const struct {
        Column column;
        Field field;
    } numbers[] = {
        {ColRecord, FRecord}, {ColMonth, FMonth},   {ColDay, FDay},       {ColHour, FHour},
        {ColMinute, FMinute}, {ColSecond, FSecond}, {ColLatDeg, FLatDeg}, {ColLonDeg, FLonDeg},
    };
    for (const auto &n : numbers)
        if (!parseDigits(r[n.column], &p->value[n.field], &p->digits[n.field]))
            return false;
    const struct {
        Column column;
        Field whole;
    } minutes[] = {{ColLatMin, FLatWhole}, {ColLonMin, FLonWhole}};
    for (const auto &m : minutes) {
        const QString &s = r[m.column];
        if (s.isEmpty())
            continue;
        // Digits, a point, digits: both parts present.
        const qsizetype dot = s.indexOf(QLatin1Char('.'));
        if (dot <= 0 || dot == s.size() - 1)
            return false;
        if (!parseDigits(QStringView(s).left(dot), &p->value[m.whole], &p->digits[m.whole])
            || !parseDigits(QStringView(s).mid(dot + 1), &p->value[m.whole + 1], &p->digits[m.whole + 1]))
            return false;
    }
    return true;
}

TrackRow PointStore::unpack(const Packed &p)
{
    TrackRow r;
    const auto number = [&p](Field f) { return digitsText(p.value[f], p.digits[f]); };
    const auto minutes = [&p, &number](Field whole) {
        if (p.digits[whole] == 0)
            return QString();
        return number(whole) + QLatin1Char('.') + number(Field(whole + 1));
    };
    r[ColRecord] = number(FRecord);
    r[ColKind] = p.kind == KindAuto ? kindAuto : p.kind == KindMarked ? kindMarked : QString();
    r[ColMonth] = number(FMonth);
    r[ColDay] = number(FDay);
    r[ColHour] = number(FHour);
    r[ColMinute] = number(FMinute);
    r[ColSecond] = number(FSecond);
    r[ColLatDeg] = number(FLatDeg);
    r[ColLatMin] = minutes(FLatWhole);
    r[ColLonDeg] = number(FLonDeg);
    r[ColLonMin] = minutes(FLonWhole);
    return r;
}

PointStore::Packed &PointStore::grow(int index)
{
    if (size_t(index) >= rows_.size())
        rows_.resize(size_t(index) + 1, Packed{});
    return rows_[size_t(index)];
}

void PointStore::store(int index, const TrackRow &row)
{
    Packed &p = grow(index);
    if (pack(row, &p)) {
        textRows_.remove(index);
        return;
    }
    p = Packed{};
    p.kind = KindText;
    textRows_.insert(index, row);
}

TrackRow PointStore::at(int index) const
{
    if (index < 0 || size_t(index) >= rows_.size())
        return TrackRow{};
    const Packed &p = rows_[size_t(index)];
    if (p.kind == KindText)
        return textRows_.value(index);
    return unpack(p);
}

QString PointStore::cell(int index, Column column) const
{
    if (column != ColKind || index < 0 || size_t(index) >= rows_.size())
        return at(index)[column];
    switch (rows_[size_t(index)].kind) {
    case KindAuto:
        return kindAuto;
    case KindMarked:
        return kindMarked;
    case KindText:
        return textRows_.value(index)[ColKind];
    default:
        return QString();
    }
}

void PointStore::setRow(int index, const TrackRow &row, const QString &listed)
{
    store(index, row);
    if (listed.isNull() || listed == listLine(row))
        listed_.remove(index);
    else
        listed_.insert(index, listed);
}

void PointStore::setCell(int index, Column column, const QString &text)
{
    TrackRow row = at(index);
    row[column] = text;
    store(index, row);
    listed_.remove(index);
}

void PointStore::setNumber(int index, Column column, quint32 value, int digits)
{
    static const Field fields[ColumnCount] = {
        FRecord, FieldCount, FMonth, FDay, FHour, FMinute, FSecond, FLatDeg, FieldCount, FLonDeg, FieldCount,
    };
    const Field f = fields[column];
    Packed &p = grow(index);
    const int n = std::max(digits, digitCount(value));
    if (f == FieldCount || p.kind == KindText || n > maxDigits) {
        setCell(index, column, digitsText(value, n));
        return;
    }
    p.value[f] = value;
    p.digits[f] = quint8(n);
    listed_.remove(index);
}

void PointStore::setMinutes(int index, Column column, quint32 whole, quint32 fraction)
{
    const Field f = column == ColLatMin ? FLatWhole : FLonWhole;
    Packed &p = grow(index);
    const int w = std::max(2, digitCount(whole));
    const int d = std::max(4, digitCount(fraction));
    if ((column != ColLatMin && column != ColLonMin) || p.kind == KindText || w > maxDigits
        || d > maxDigits) {
        setCell(index, column, digitsText(whole, w) + QLatin1Char('.') + digitsText(fraction, d));
        return;
    }
    p.value[f] = whole;
    p.digits[f] = quint8(w);
    p.value[f + 1] = fraction;
    p.digits[f + 1] = quint8(d);
    listed_.remove(index);
}

void PointStore::setMarked(int index, bool marked)
{
    Packed &p = grow(index);
    if (p.kind == KindText) {
        setCell(index, ColKind, marked ? kindMarked : kindAuto);
        return;
    }
    p.kind = marked ? KindMarked : KindAuto;
    listed_.remove(index);
}

QString PointStore::line(int index) const
{
    const auto it = listed_.constFind(index);
    if (it != listed_.constEnd())
        return *it;
    return listLine(at(index));
}

QString listLine(const TrackRow &r)
{
    QString s;
    s.reserve(56);
    s += QStringLiteral("记录") + r[ColRecord] + QStringLiteral("| ") + r[ColKind] + QStringLiteral("| ")
        + r[ColMonth] + QStringLiteral("月") + r[ColDay] + QStringLiteral("日 ") + r[ColHour]
        + QLatin1Char(':') + r[ColMinute] + QLatin1Char(':') + r[ColSecond] + QStringLiteral("| N")
        + r[ColLatDeg] + QStringLiteral("°") + r[ColLatMin] + QStringLiteral("',E") + r[ColLonDeg]
        + QStringLiteral("°") + r[ColLonMin] + QLatin1Char('\'');
    return s;
}

namespace {
// Degrees beyond limit, or minutes of 60 or more; false when a cell is not
// a number.
bool beyond(const QString &degrees, const QString &minutes, int limit)
{
    quint32 deg = 0, whole = 0, fraction = 0;
    quint8 digits = 0;
    const qsizetype dot = minutes.indexOf(QLatin1Char('.'));
    if (dot <= 0 || !parseDigits(degrees, &deg, &digits) || digits == 0
        || !parseDigits(QStringView(minutes).left(dot), &whole, &digits)
        || !parseDigits(QStringView(minutes).mid(dot + 1), &fraction, &digits))
        return false;
    return whole >= 60 || deg > quint32(limit) || (deg == quint32(limit) && (whole > 0 || fraction > 0));
}
} // namespace

bool positionImpossible(const TrackRow &r)
{
    return beyond(r[ColLatDeg], r[ColLatMin], 90) || beyond(r[ColLonDeg], r[ColLonMin], 180);
}

QString pad(int v, int digits)
{
    if (v < 0)
        return QLatin1Char('-') + QString::number(-qint64(v)).rightJustified(digits, QLatin1Char('0'));
    return QString::number(v).rightJustified(digits, QLatin1Char('0'));
}

QString minutesText(int whole, int f1, int f2)
{
    const QString joined = QString::number(f1) + QString::number(f2);
    return pad(whole, 2) + QLatin1Char('.') + pad(joined.toInt(), 4);
}

quint32 minutesFraction(int f1, int f2)
{
    quint32 scale = 1;
    for (int n = digitCount(quint32(f2)); n > 0; --n)
        scale *= 10;
    return quint32(f1) * scale + quint32(f2);
}

QString coordinatePart(const QString &line)
{
    return line.right(coordinatePartLength);
}

} // namespace trekport
