#include "nmeaexport.h"

#include "common/textfile.h"

#include <QDateTime>

namespace trekport {
namespace {

bool isDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Whole minutes, a point, fraction digits.
bool isMinutes(const QString &s)
{
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    return dot > 0 && isDigits(QStringView(s).left(dot)) && isDigits(QStringView(s).mid(dot + 1));
}

int daysInMonth(int month, int year)
{
    switch (month) {
    case 2:
        return year % 4 == 0 ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

} // namespace

QString NmeaChecksum(const QString &sentence)
{
    int sum = 0;
    for (qsizetype i = 1; i + 1 < sentence.size(); ++i)
        sum ^= sentence.at(i).unicode();
    return QStringLiteral("%1").arg(sum & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

namespace {

// Any other zone: the local time through the zone's rules, the UTC date as
// the calendar gives it (the year keeps its two digits).
std::optional<QString> buildInZone(const TrackRow &r, const QString &dataYear,
                                   const common::TimeZoneSetting &zone)
{
    const std::optional<qint64> utc = rowUtcSeconds(r, dataYear, zone);
    if (!utc)
        return std::nullopt;
    const QString text = common::calendarText(*utc); // YYYY-MM-DD hh:mm:ss
    const QString t = text.mid(11, 2) + text.mid(14, 2) + text.mid(17, 2) + QStringLiteral(".000,");
    const QString p = r[ColLatDeg] + r[ColLatMin] + QStringLiteral(",N,") + r[ColLonDeg] + r[ColLonMin]
        + QStringLiteral(",E,");
    const QString d = text.mid(8, 2) + text.mid(5, 2) + text.mid(2, 2) + QLatin1Char(',');
    const QString rmc = QStringLiteral("$GPRMC,") + t + QStringLiteral("A,") + p + QStringLiteral("0.00,,")
        + d + QStringLiteral(",*");
    const QString gga = QStringLiteral("$GPGGA,") + t + p + QStringLiteral("1,06,1.0,0,M,,,,0000*");
    return rmc + NmeaChecksum(rmc) + QStringLiteral("\r\n") + gga + NmeaChecksum(gga);
}

} // namespace

std::optional<qint64> rowUtcSeconds(const TrackRow &r, const QString &dataYear,
                                    const common::TimeZoneSetting &zone)
{
    for (int c : {ColMonth, ColDay, ColHour, ColMinute, ColSecond})
        if (!isDigits(r[c]))
            return std::nullopt;
    bool ok = false;
    const int year = 2000 + dataYear.toInt(&ok);
    const int month = r[ColMonth].toInt(), day = r[ColDay].toInt(), hour = r[ColHour].toInt(),
              minute = r[ColMinute].toInt(), second = r[ColSecond].toInt();
    if (!ok || !QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return zone.utcFromLocal(common::calendarSeconds(year, month, day, hour, minute, second));
}

std::optional<QString> BuildNmeaRecord(const TrackRow &r, const QString &dataYear,
                                       const common::TimeZoneSetting &zone)
{
    for (int c : {ColMonth, ColDay, ColHour, ColMinute, ColSecond, ColLatDeg, ColLonDeg})
        if (!isDigits(r[c]))
            return std::nullopt;
    if (!isMinutes(r[ColLatMin]) || !isMinutes(r[ColLonMin]))
        return std::nullopt;
    if (!zone.isDefault())
        return buildInZone(r, dataYear, zone);

    const int h = r[ColHour].toInt();
    const QString t = pad((h + 16) % 24, 2) + r[ColMinute] + r[ColSecond] + QStringLiteral(".000,");
    const QString p = r[ColLatDeg] + r[ColLatMin] + QStringLiteral(",N,") + r[ColLonDeg] + r[ColLonMin]
        + QStringLiteral(",E,");
    QString d;
    if (h + 16 >= 24) {
        d = r[ColDay] + r[ColMonth] + dataYear + QLatin1Char(',');
    } else {
        // The UTC date is the day before the local one.
        int day = r[ColDay].toInt();
        int month = r[ColMonth].toInt();
        QString year = dataYear;
        if (day > 1) {
            --day;
        } else {
            if (month > 1) {
                --month;
            } else {
                month = 12;
                // 1 January steps back into the year before (00 -> 99).
                bool ok = false;
                const int y = dataYear.toInt(&ok);
                if (ok)
                    year = pad((y + 99) % 100, 2);
            }
            day = daysInMonth(month, year.toInt());
        }
        d = pad(day, 2) + pad(month, 2) + year + QLatin1Char(',');
    }
    const QString rmc = QStringLiteral("$GPRMC,") + t + QStringLiteral("A,") + p + QStringLiteral("0.00,,")
        + d + QStringLiteral(",*");
    const QString gga = QStringLiteral("$GPGGA,") + t + p + QStringLiteral("1,06,1.0,0,M,,,,0000*");
    return rmc + NmeaChecksum(rmc) + QStringLiteral("\r\n") + gga + NmeaChecksum(gga);
}

int forEachNameLine(const PointStore &store, int count, const QString &dataYear,
                    const std::function<void(const QString &)> &line, const common::TimeZoneSetting &zone,
                    int *impossible)
{
    int left = 0;
    int nowhere = 0;
    for (int i = 0; i < count; ++i) {
        const TrackRow row = store.at(i);
        if (positionImpossible(row)) {
            ++nowhere;
            continue;
        }
        const std::optional<QString> record = BuildNmeaRecord(row, dataYear, zone);
        if (!record) {
            ++left;
            continue;
        }
        const qsizetype cut = record->indexOf(QLatin1Char('\r'));
        line(record->left(cut));
        line(record->mid(cut + 2));
    }
    if (impossible)
        *impossible = nowhere;
    return left;
}

QStringList buildNameLines(const PointStore &store, int count, const QString &dataYear, int *skipped,
                           const common::TimeZoneSetting &zone, int *impossible)
{
    QStringList lines;
    lines.reserve(2 * count);
    const int left = forEachNameLine(
        store, count, dataYear, [&lines](const QString &l) { lines << l; }, zone, impossible);
    if (skipped)
        *skipped = left;
    return lines;
}

QByteArray buildNameFile(const PointStore &store, int count, const QString &dataYear, int *skipped,
                         const common::TimeZoneSetting &zone, int *impossible)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 136);
    const int left = forEachNameLine(
        store, count, dataYear,
        [&bytes](const QString &l) {
            bytes += common::encodeText(l, common::TextEncoding::Ascii);
            bytes += "\r\n";
        },
        zone, impossible);
    if (skipped)
        *skipped = left;
    return bytes;
}

QString yearOf(const QDateTime &time)
{
    return QString::number(time.date().year()).right(2);
}

QString applyYearAnswer(const QString &current, const QString &answer)
{
    if (answer.size() < 2 || !isDigits(QStringView(answer).right(2)))
        return current;
    return answer.right(2);
}

bool isYearText(const QString &text)
{
    return (text.size() == 2 || text.size() == 4) && isDigits(text);
}

QString yearQuestion(const QString &dataYear)
{
    return QStringLiteral("源文件是20") + dataYear + QStringLiteral("的GPS路径数据？");
}

QString nameSavedMessage(const QString &path, int skipped)
{
    QString text = QStringLiteral("NAME文件已保存到\r\n") + path + QStringLiteral("！");
    if (skipped > 0)
        text += QStringLiteral("\r\n\r\n有") + QString::number(skipped)
            + QStringLiteral("个轨迹点的时间、日期或坐标不是数字，未写入。");
    return text;
}

bool writeNameFile(const QString &path, const QByteArray &bytes, QString *error)
{
    return common::writeFileAtomically(path, bytes, error);
}

} // namespace trekport
