#include "core/selection.h"

#include "common/rounding.h"

#include <charconv>

namespace areagrab {

void Selection::press(float x, float y)
{
    anchorX_ = x;
    anchorY_ = y;
    frame_ = {x, y, 0, 0};
}

void Selection::drag(float x, float y, int screenHeight)
{
    if (x >= anchorX_) {
        frame_.left = anchorX_;
        frame_.width = x - anchorX_;
        labelLeft_ = frame_.width > LabelWidth ? x - LabelWidth : frame_.left;
    } else {
        frame_.left = x;
        frame_.width = anchorX_ - x;
        labelLeft_ = x;
    }
    if (y >= anchorY_) {
        frame_.top = anchorY_;
        frame_.height = y - anchorY_;
        const float lowest = float(screenHeight - LabelHeight);
        labelTop_ = y <= lowest ? y : y - LabelHeight;
    } else {
        frame_.top = y;
        frame_.height = anchorY_ - y;
        labelTop_ = anchorY_;
    }
    caption_ = numberText(frame_.width) + QStringLiteral("×") + numberText(frame_.height);
}

QRect Selection::captureRect() const
{
    const qint64 left = common::roundHalfEven(frame_.left);
    const qint64 top = common::roundHalfEven(frame_.top);
    const qint64 right = common::roundHalfEven(float(frame_.left + frame_.width));
    const qint64 bottom = common::roundHalfEven(float(frame_.top + frame_.height));
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

QString numberText(float value)
{
    // Whole numbers stay in plain digits ("100000", not "1e+05").
    if (value == float(qint64(value)) && value > -1e7f && value < 1e7f)
        return QString::number(qint64(value));
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general);
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

} // namespace areagrab
