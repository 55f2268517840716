#pragma once
// One row of the photo list: the record beside it and the two columns the
// clock correction and the matching write.
#include "core/types.h"

namespace pixplot {

struct PhotoRow {
    PhotoRecord record;
    QString timeText;      // "拍摄时间": shotTime, or the corrected time
    QString position;      // "坐标": the matched position text, or ""
    FixMotion motion = {}; // what the matched fixes say beside the position
    bool byHand = false;   // the position was set by hand; matching keeps it
    QString failure = {};  // why processing it failed last time; "" when it did not
};

} // namespace pixplot
