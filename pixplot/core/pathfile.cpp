#include "core/pathfile.h"

#include "core/systemfinction.h"

#include "common/safefile.h"

#include <QFile>

namespace pathfile {

namespace {

// Only lines that look like "$xxRMC," can give a fix; the rest are skipped
// before a string is made of them.
bool mayBeRmc(const char *line, qsizetype length)
{
    return length > 7 && line[0] == '$' && line[3] == 'R' && line[4] == 'M' && line[5] == 'C'
        && line[6] == ',';
}

} // namespace

bool ReadPathFile(const QString &path, QList<PathPoint> *points, QString *error)
{
    points->clear();
    // A FIFO would block and a device (/dev/zero) never end.
    if (!common::checkInputFile(path, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    points->reserve(size / 132); // loggers write about one RMC sentence per 130 bytes
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        if (mayBeRmc(data + start, end - start)) {
            PathPoint p = systemfinction::ParseRmcBytes(QByteArrayView(data + start, end - start));
            if (!p.position.isEmpty())
                points->append(std::move(p));
        }
        // CR LF, LF or a lone CR ends the line.
        if (end < size && data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    ComputeOffsets(*points);
    return true;
}

void ComputeOffsets(QList<PathPoint> &points)
{
    if (points.isEmpty())
        return;
    const QString first = points.front().pointTime;
    for (PathPoint &p : points)
        p.offsetSeconds = systemfinction::SecondsBetween(first, p.pointTime).value_or(0);
}

} // namespace pathfile
