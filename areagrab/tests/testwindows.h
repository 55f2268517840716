#pragma once
// Windows the screen tests own: each paints a known pattern at a known place.
#include <QImage>
#include <QRect>
#include <QWidget>

namespace testwin {

// A pattern in which neighbouring pixels differ and each seed differs from
// every other, so a shifted, scaled or wrong capture never matches.
QImage pattern(QSize size, int seed);

class PatternWindow : public QWidget {
public:
    PatternWindow(const QRect &geometry, int seed);
    // Paints a different pattern from now on.
    void setSeed(int seed);
    QImage image() const { return image_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int seed_;
    QImage image_;
};

// Shows the window and waits until the screen shows its pattern where it is
// on the screen; false after timeoutMs.
bool showAndWait(PatternWindow &w, int timeoutMs = 3000);

// The primary screen now, read by Qt.
QImage grabScreen();
// The screen read by another program (ImageMagick's import) where it is
// installed, else by Qt; for comparing with what areagrab saved.
QImage independentGrab();

// Whether the screen shows exactly image at rect's top-left (clipped to the
// screen), waiting up to timeoutMs for painting to finish.
bool screenShows(const QImage &image, const QRect &rect, int timeoutMs = 3000);

} // namespace testwin
