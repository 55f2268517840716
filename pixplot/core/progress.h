#pragma once
// What the progress panel shows for ShowProgress(caption, current, total).
#include <QString>

namespace pixplot::progress {

inline constexpr int kTwipsPerPercent = 60; // the full bar is 6000 twips

struct State {
    bool visible = false;
    bool hasBar = false; // false when only the panel is shown (total 0)
    QString text;        // caption + " " + pct + "%"
    int barTwips = 0;
};

State compute(const QString &caption, qint64 current, qint64 total);

} // namespace pixplot::progress
