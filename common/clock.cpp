#include "common/clock.h"

namespace common::clock {
namespace {
QDateTime &fixedTime()
{
    static QDateTime t;
    return t;
}
} // namespace

QDateTime now()
{
    return fixedTime().isValid() ? fixedTime() : QDateTime::currentDateTime();
}

void setFixed(const QDateTime &time)
{
    fixedTime() = time;
}
void clearFixed()
{
    fixedTime() = QDateTime();
}

} // namespace common::clock
