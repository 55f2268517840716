#pragma once
// Window `main`: the three ways to capture, the scaled preview of the last
// capture, and saving it as JPEG.
#include "platform/windowsystem.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace common {
class Dialogs;
}

namespace areagrab {

class CatForm;

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
    // Whether a window pick is under way (button held on picSnap).
    bool isPicking() const { return picking_; }
    // The window the last tick of the pick found (0 before any).
    WindowId pickedWindow() const { return pickedWindow_; }
    // What a tick picks over the bare desktop: the desktop, the whole screen.
    static constexpr WindowId DesktopWindow = ~WindowId(0);
    // The window system ids of this program's windows, passed over by a pick.
    QList<WindowId> ownWindowIds() const;

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

public Q_SLOTS:
    void Command1_Click();
    void Command2_Click();
    void cmdSave_Click();
    void tmr_Timer();

Q_SIGNALS:
    // A window pick ended, with or without a capture.
    void pickEnded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void picSnap_MouseDown();
    void picSnap_MouseUp();
    void pollPickButton();
    void setWindowHeightTwips(qint64 twips);
    void applyWindowHeight();
    void getOutOfTheWayForPick();
    void comeBackAfterPick();
    void pickInDesktopChooser();
    // The whole screen; on failure says why and returns a null image.
    QImage takeScreen();

    common::Dialogs &dialogs_;
    WindowSystem &ws_;
    QImage temImage_;
    qint64 windowHeightTwips_ = 0;
    QPointer<CatForm> overlay_;

    // Window pick state.
    bool picking_ = false;
    bool inTick_ = false;
    bool releasePending_ = false;
    bool hiddenForPick_ = false;
    WindowId pickedWindow_ = 0;
    QRect pickRect_; // device pixels, window-system coordinates
    QTimer pollTimer_;
    QElapsedTimer sinceHighlight_;
};

} // namespace areagrab
