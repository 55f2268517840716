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
    case 2: return year % 4 == 0 ? 29 : 28;
    case 4: case 6: case 9: case 11: return 30;
    default: return 31;
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

std::optional<QString> BuildNmeaRecord(const TrackRow &r, const QString &dataYear)
{
    for (int c : {ColMonth, ColDay, ColHour, ColMinute, ColSecond, ColLatDeg, ColLonDeg})
        if (!isDigits(r[c]))
            return std::nullopt;
    if (!isMinutes(r[ColLatMin]) || !isMinutes(r[ColLonMin]))
        return std::nullopt;

    const int h = r[ColHour].toInt();
    const QString t = pad((h + 16) % 24, 2) + r[ColMinute] + r[ColSecond] + QStringLiteral(".000,");
    const QString p = r[ColLatDeg] + r[ColLatMin] + QStringLiteral(",N,") + r[ColLonDeg]
        + r[ColLonMin] + QStringLiteral(",E,");
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
    const QString rmc = QStringLiteral("$GPRMC,") + t + QStringLiteral("A,") + p
        + QStringLiteral("0.00,,") + d + QStringLiteral(",*");
    const QString gga = QStringLiteral("$GPGGA,") + t + p + QStringLiteral("1,06,1.0,0,M,,,,0000*");
    return rmc + NmeaChecksum(rmc) + QStringLiteral("\r\n") + gga + NmeaChecksum(gga);
}

int forEachNameLine(const PointStore &store, int count, const QString &dataYear,
                    const std::function<void(const QString &)> &line)
{
    int left = 0;
    for (int i = 0; i < count; ++i) {
        const std::optional<QString> record = BuildNmeaRecord(store.at(i), dataYear);
        if (!record) {
            ++left;
            continue;
        }
        const qsizetype cut = record->indexOf(QLatin1Char('\r'));
        line(record->left(cut));
        line(record->mid(cut + 2));
    }
    return left;
}

QStringList buildNameLines(const PointStore &store, int count, const QString &dataYear, int *skipped)
{
    QStringList lines;
    lines.reserve(2 * count);
    const int left = forEachNameLine(store, count, dataYear, [&lines](const QString &l) { lines << l; });
    if (skipped)
        *skipped = left;
    return lines;
}

QByteArray buildNameFile(const PointStore &store, int count, const QString &dataYear, int *skipped)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 136);
    const int left = forEachNameLine(store, count, dataYear, [&bytes](const QString &l) {
        bytes += common::encodeText(l, common::TextEncoding::Ascii);
        bytes += "\r\n";
    });
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
