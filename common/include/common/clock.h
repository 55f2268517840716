#pragma once
// The one place the suite reads the wall clock, so tests can fix it.
#include <QDateTime>

namespace common::clock {

QDateTime now();                      // local time, or the fixed time in tests
void setFixed(const QDateTime &time); // tests: every later now() returns time
void clearFixed();

} // namespace common::clock
