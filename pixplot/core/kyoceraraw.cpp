#include "core/kyoceraraw.h"

#include <QDate>
#include <QTime>

#include <algorithm>

namespace pixplot::kyoceraraw {

namespace {

// Where the layout keeps its texts, each back to front and padded with NULs.
constexpr qsizetype kModelAt = 0x0c, kModelSize = 12;
constexpr qsizetype kMakeAt = 0x19, kMakeSize = 7;
constexpr qsizetype kTimeAt = 0x21, kTimeSize = 20;

QString reversedText(QByteArrayView head, qsizetype at, qsizetype size)
{
    QByteArray text = head.sliced(at, size).toByteArray();
    std::reverse(text.begin(), text.end());
    // The padding, now in front.
    while (!text.isEmpty() && text.front() == '\0')
        text.remove(0, 1);
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        text.truncate(zero);
    return QString::fromLatin1(text).trimmed();
}

// "YYYY:MM:DD hh:mm:ss" as "YYYY-MM-DD hh:mm:ss" when it is a valid time.
QString timeText(const QString &exif)
{
    if (exif.size() != 19)
        return {};
    const QDate date = QDate::fromString(exif.left(10), QStringLiteral("yyyy:MM:dd"));
    const QTime time = QTime::fromString(exif.mid(11), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid() || exif.at(10) != QLatin1Char(' '))
        return {};
    return date.toString(QStringLiteral("yyyy-MM-dd ")) + time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

bool looksLikeKyocera(QByteArrayView head)
{
    return head.size() >= kHeadSize && head.sliced(kMakeAt, kMakeSize) == QByteArrayView("ARECOYK");
}

Header readHeader(QIODevice &d)
{
    Header h;
    QByteArray head(kHeadSize, Qt::Uninitialized);
    if (!d.seek(0) || d.read(head.data(), kHeadSize) != kHeadSize || !looksLikeKyocera(head))
        return h;
    h.isKyocera = true;
    h.make = reversedText(head, kMakeAt, kMakeSize);
    h.model = reversedText(head, kModelAt, kModelSize);
    h.shotTime = timeText(reversedText(head, kTimeAt, kTimeSize));
    return h;
}

} // namespace pixplot::kyoceraraw
