#pragma once
// Captures without a window: the primary screen, a rectangle of it or the
// window under a point, saved as JPEG at quality 80.
#include "platform/windowsystem.h"

#include <QImage>
#include <QRect>
#include <QString>

namespace areagrab {

constexpr int JpegQuality = 80;

struct CaptureRequest {
    enum class Mode { Full, Rect, WindowAt };
    Mode mode = Mode::Full;
    QRect rect;   // Rect: device pixels from the primary screen's top-left
    QPoint point; // WindowAt: device pixels from the primary screen's top-left
    QString out;
    bool overwrite = false;
};

struct WindowPick {
    WindowId window = 0;
    QRect rect; // clamped to screen; empty when nothing of it is on the screen
};

// The window under point (window-system coordinates) with its rectangle
// clamped to screen; window 0 when there is none.
WindowPick pickWindowAt(WindowSystem &ws, QPoint point, const QList<WindowId> &skip,
                        const QRect &screen);

// Runs one request; returns the exit status (0 ok, 1 bad input or failure).
// The result line goes to *out, messages to *err.
int runCapture(const CaptureRequest &request, WindowSystem &ws, QString *out, QString *err);

} // namespace areagrab
