#pragma once
// The overlay's selection: the red frame from the press point to the cursor
// and where the size label goes, all in screen pixels.
#include <QPointF>
#include <QRect>
#include <QString>

namespace areagrab {

struct FrameRect {
    float left = 0, top = 0, width = 0, height = 0;
};

class Selection {
public:
    static constexpr float LabelWidth = 81; // pixels
    static constexpr float LabelHeight = 17;

    // Left button went down at (x, y): a new empty frame anchored there.
    void press(float x, float y);
    // Cursor at (x, y) with the button held; screenHeight in pixels keeps the
    // label on the screen near the bottom edge.
    void drag(float x, float y, int screenHeight);

    FrameRect frame() const { return frame_; }
    QPointF labelPos() const { return {labelLeft_, labelTop_}; }
    // Width, "×", height, e.g. "120×80".
    QString caption() const { return caption_; }
    bool isEmpty() const { return frame_.width == 0 || frame_.height == 0; }
    // left, top, left + width, top + height, each rounded halves to even.
    QRect captureRect() const;

private:
    float anchorX_ = 0, anchorY_ = 0;
    FrameRect frame_;
    float labelLeft_ = 0, labelTop_ = 0;
    QString caption_ = QStringLiteral("0×0");
};

// A number in its shortest general text form: 120 -> "120", 12.5 -> "12.5".
QString numberText(float value);

} // namespace areagrab
