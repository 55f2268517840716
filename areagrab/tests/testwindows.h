#pragma once
// What the window tests share: windows they own, each painting a known
// pattern at a known place; the window `main` under test with its dialogs
// and window system; picking a window with the real pointer.
#include "platform/windowsystem.h"
#include "ui/mainform.h"
#include "common/scripteddialogs.h"
#include "common/testsupport.h"

#include <QImage>
#include <QMap>
#include <QRect>
#include <QWidget>

#include <memory>

class QPushButton;

namespace areagrab {
class CatForm;
}

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

// Runs xdotool with args (the real pointer and keyboard); true when it did.
bool xdo(const QStringList &args);

// One window pick with the real pointer (xdotool): press on picSnap, move to
// target (device pixels) and release, then wait for the pick to end.
// With expected 0 everything happens at once, before the first tick; else
// the button is held until a tick has found expected. *sawFrame tells
// whether the black pick frame appeared on frame (device pixels) meanwhile.
// Fails the running test on a step that fails.
void pickWindow(areagrab::MainForm &form, areagrab::WindowSystem &ws, QPoint target,
                areagrab::WindowId expected, const QRect &frame, bool *sawFrame);

// A window system that finds no windows; the screen is Qt's.
class NoWindows : public areagrab::QtScreenWindowSystem {
public:
    areagrab::WindowId windowAt(QPoint, const QList<areagrab::WindowId> &) override { return 0; }
    std::optional<QRect> windowRect(areagrab::WindowId) override { return std::nullopt; }
    void highlight(const QRect &) override { }
    void removeHighlight() override { }
    QPoint cursorPos() override { return {}; }
    bool leftButtonDown() override { return false; }
    bool isViewable(areagrab::WindowId) override { return false; }
};

// The window `main` under test: scripted dialogs, a window system (this
// session's unless one is given) and, once shown over one, a background
// window that covers the screen.
struct FormRig {
    explicit FormRig(std::unique_ptr<areagrab::WindowSystem> windowSystem = areagrab::createWindowSystem());
    ~FormRig();

    common::ScriptedDialogs dialogs;
    std::unique_ptr<areagrab::WindowSystem> ws;
    std::unique_ptr<PatternWindow> background;
    areagrab::MainForm form;

    // Shows the window and waits until it is on the screen; showOver first
    // covers the screen with a pattern window and puts the form at pos.
    bool show();
    bool showOver(int backgroundVariant, QPoint pos);
    // Clicks a command and waits until the capture it started has ended.
    bool click(QPushButton *command);
    // "选框截图": the overlay once it is on the screen; null when none came.
    areagrab::CatForm *openOverlay();
    // A capture handed over through the clipboard, as the overlay does.
    void captureViaClipboard(const QImage &image);
};

// Known lines of Chinese and English for reading back, drawn black on white
// in Noto Sans CJK SC at a usual screen size, and a window that shows them.
QString sampleText();
QImage sampleTextImage();
class TextWindow : public QWidget {
public:
    explicit TextWindow(QPoint pos);

protected:
    void paintEvent(QPaintEvent *event) override;
};
// How much of expected (0..1) appears in got, in order, spaces and line ends
// aside: the longest common subsequence over expected's length.
double shareFound(const QString &expected, const QString &got);

// areagrab's command line, built beside the test, run with the environment
// changes env (an empty value removes the variable).
using testsupport::Run;
Run runAreagrab(const QStringList &args, const QMap<QByteArray, QByteArray> &env = {}, int timeoutMs = 30000);

} // namespace testwin
