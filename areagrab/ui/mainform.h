#pragma once
// Window `main`: the three ways to capture, the scaled preview of the last
// capture, and saving it; below them the strip of what came later: the
// delay, every monitor, marking up, copying and reading the text.
#include "core/capturerunner.h"
#include "core/textreader.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QProgressDialog;
class QThread;
class QLabel;
class QPushButton;

namespace common {
class Dialogs;
}

namespace areagrab {

class AnnotateForm;
class CatForm;
class TextForm;

class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm(common::Dialogs &dialogs, WindowSystem &windowSystem, QWidget *parent = nullptr);
    ~MainForm() override;

    // Loads the clipboard's image into tem_img when fromClipboard, then
    // sizes the preview and the window to it.
    void changebig(bool fromClipboard);

    // The capture at full size (device pixels), as tem_img holds it.
    QImage temImage() const { return temImage_; }
    // The overlay of the area capture while it is open.
    CatForm *overlay() const;
    // Whether a window pick is under way (button held on picSnap, the
    // window out of the way).
    bool isPicking() const;
    // Whether a capture or a pick has started and not yet ended; the
    // commands wait for it.
    bool isBusy() const { return capturing_ || pickStep_ != PickStep::Idle; }
    // The window the last tick of the pick found (0 before any).
    WindowId pickedWindow() const { return pickedWindow_; }
    // The window system ids of this program's windows, passed over by a pick.
    QList<WindowId> ownWindowIds() const;
    // The marking window and the recognised text's window while open.
    AnnotateForm *editor() const;
    TextForm *textForm() const;
    // Whether the text of the capture is being read.
    bool isReadingText() const { return reader_ != nullptr; }
    // The wait "延时" asks for before the screen is frozen.
    int delayMs() const;

    QGroupBox *Frame3;
    QLabel *picSnap;
    QLabel *Label1;
    QCheckBox *chk;
    QPushButton *Command2;
    QPushButton *Command1;
    QPushButton *cmdSave;
    QLabel *pic_img;
    QLabel *tem_img;
    QTimer *tmr;
    QWidget *toolStrip;
    QComboBox *cboDelay;
    QCheckBox *chkAllScreens;
    QPushButton *cmdEdit;
    QPushButton *cmdCopy;
    QPushButton *cmdOcr;

public Q_SLOTS:
    void Command1_Click();
    void Command2_Click();
    void cmdSave_Click();
    void tmr_Timer();
    void cmdEdit_Click();
    void cmdCopy_Click();
    void cmdOcr_Click();

Q_SIGNALS:
    // Reading the text ended: the text, or why there is none.
    void textRead(const QString &text, const QString &error);
    // A window pick ended, with or without a capture.
    void pickEnded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void buildPickFrame();
    void buildCaptureControls();
    void buildToolStrip();
    // A window pick goes Leaving (the window gets out of the way), then
    // Following the pointer, each tick Highlighting the window found for a
    // while, until the release; Ending waits for the screen to settle, or
    // for the desktop's chooser. Holding: the button is down where the
    // desktop's chooser does the picking.
    enum class PickStep { Idle, Leaving, Following, Highlighting, Holding, Ending };

    void picSnap_MouseDown();
    void picSnap_MouseUp();
    void pickReleased();
    void pollPickButton();
    void startFollowing();
    void endHighlight();
    void endPick();
    void setWindowHeightTwips(qint64 twips);
    void applyWindowHeight();
    void comeBackAfterPick();
    void pickInDesktopChooser();
    void windowPicked(const ScreenImage &picked, bool comeBack);
    // Hides the window when chk is ticked, and runs next once it has left
    // the screen.
    void hideForCapture(const std::function<void()> &next);
    void openOverlay(const QImage &frozen);
    void wholeScreenTaken(const QImage &screen);
    void textReadingEnded();
    void placeToolStrip(int clientHeight);
    // Hands the whole screen to then; on failure says why and hands over a
    // null image.
    void takeScreen(std::function<void(const QImage &)> then);
    // Runs step on this window's event loop after ms milliseconds, unless
    // the window is gone by then.
    template <typename Step> void after(int ms, Step step)
    {
        // Precise: a coarse timer may fire 5 % early, cutting a delay short.
        QTimer::singleShot(ms, Qt::PreciseTimer, this, step);
    }

    common::Dialogs &dialogs_;
    WindowSystem &ws_;
    CaptureRunner runner_;
    QImage temImage_;
    qint64 windowHeightTwips_ = 0;
    QPointer<CatForm> overlay_;
    QPointer<AnnotateForm> editor_;
    QPointer<TextForm> textForm_;
    // The text reading under way, on its own thread.
    std::unique_ptr<TextReader> reader_;
    TextResult readResult_;
    QThread *readThread_ = nullptr;
    QProgressDialog *readProgress_ = nullptr;
    QTimer readPoll_;
    // An area or whole-screen capture is waiting for the screen.
    bool capturing_ = false;

    // Window pick state.
    PickStep pickStep_ = PickStep::Idle;
    bool releasePending_ = false;
    bool tickPending_ = false;
    bool hiddenForPick_ = false;
    WindowId pickedWindow_ = 0;
    QRect pickRect_; // device pixels, window-system coordinates
    QTimer pollTimer_;
    QElapsedTimer sinceHighlight_;
};

} // namespace areagrab
