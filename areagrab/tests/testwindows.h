#pragma once
// Windows the screen tests own: each paints a known pattern at a known place.
#include <QImage>
#include <QRect>
#include <QWidget>

namespace testwin {

// A pattern in which neighbouring pixels differ and each variant differs from
// every other, so a shifted, scaled or wrong capture never matches.
QImage pattern(QSize size, int variant);

// Paints its pattern in device pixels: on a scaled screen every device
// pixel is the pattern's own, so a blurred or upscaled capture shows.
class PatternWindow : public QWidget {
public:
    PatternWindow(const QRect &geometry, int variant);
    // Paints a different pattern from now on.
    void setVariant(int variant);
    // The pattern in device pixels (ratio 1).
    QImage image() const;
    // Where it is on the screen, in device pixels.
    QRect deviceGeometry() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int variant_;
    QImage image_;
};

// Shows the window and waits until the screen shows its pattern where it is
// on the screen; false after timeoutMs.
bool showAndWait(PatternWindow &w, int timeoutMs = 3000);

// The primary screen's device pixel ratio and a logical rectangle or point
// in device pixels.
qreal ratio();
QRect toDevice(const QRect &logical);
QPoint toDevice(const QPoint &logical);

// The primary screen now, read by Qt, in device pixels (ratio 1).
QImage grabScreen();
// The screen read by another program (ImageMagick's import) where it is
// installed, else by Qt; for comparing with what areagrab saved.
QImage independentGrab();

// Whether the screen shows exactly image at rect's top-left (device pixels,
// clipped to the screen), waiting up to timeoutMs for painting to finish.
bool screenShows(const QImage &image, const QRect &rect, int timeoutMs = 3000);

} // namespace testwin

#include "platform/windowsystem.h"

namespace areagrab {
class MainForm;
}

namespace testwin {

// One window pick with the real pointer (xdotool): press on picSnap, move to
// target (device pixels) and release, then wait for the pick to end.
// With expected 0 everything happens at once, before the first tick; else
// the button is held until a tick has found expected. *sawFrame tells
// whether the black pick frame appeared on frame (device pixels) meanwhile.
// Fails the running test on a step that fails.
void pickWindow(areagrab::MainForm &form, areagrab::WindowSystem &ws, QPoint target,
                areagrab::WindowId expected, const QRect &frame, bool *sawFrame);

} // namespace testwin
