#pragma once
// One row of the photo list: the record beside it and the two columns the
// clock correction and the matching write.
#include "core/types.h"

namespace pixplot {

struct PhotoRow {
    PhotoRecord record;
    QString timeText;      // "拍摄时间": shotTime, or the corrected time
    QString position;      // "坐标": the matched position text, or ""
    // The decimal degrees of position where its text rounds them (fixes of
    // a GPX path and what is interpolated between them, places set on the
    // map); none where the text says all (NMEA fixes).
    std::optional<GeoPoint> degrees = {};
    FixMotion motion = {}; // what the matched fixes say beside the position
    bool byHand = false;   // the position was set by hand; matching keeps it
    QString failure = {};  // why processing it failed last time; "" when it did not

    // The position in decimal degrees: degrees where given, else the text read.
    GeoPoint positionDegrees() const;
};

} // namespace pixplot
