#pragma once
// The step buttons beside the clock offset and the matching tolerance.
#include <QString>

namespace pixplot::stepping {

// tzc(index): index mod 3 picks hours (0..23), minutes or seconds (0..59);
// 0..2 step up, 3..5 step down, wrapping at the ends. Returns "00" form.
QString stepOffsetField(int index, const QString &text);
// wcc(index): 0 adds 10, 1 subtracts 10, 2 adds 1, 3 subtracts 1, wrapping
// between 0 and 600 (590 + 10 = 600, 591 + 10 = 0, 9 - 10 = 600).
QString stepTolerance(int index, const QString &text);

// The largest value of offset field k (0 hours, 1 minutes, 2 seconds).
int offsetFieldMax(int k);
// An offset field's value as two digits ("7" -> "07").
QString twoDigits(int value);

} // namespace pixplot::stepping
