#pragma once
// Overlay `catform`: covers every monitor with a frozen image of them and
// lets the user frame an area of that image; a click on the size label
// hands the framed pixels to `main` through the clipboard.
#include "core/selection.h"

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace areagrab {

class MainForm;

// The red selection frame `cat_cho`, drawn along the inside of its rectangle.
class SelectionShape : public QWidget {
public:
    explicit SelectionShape(QWidget *parent);
    int borderWidth() const { return borderWidth_; }
    void setBorderWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int borderWidth_ = 1;
};

class CatForm : public QWidget {
    Q_OBJECT
public:
    // The overlay over the virtual desktop with frozen, a picture of every
    // monitor taken just before (device pixels); Form_Load shows it.
    CatForm(MainForm &owner, const QImage &frozen);
    ~CatForm() override;

    // Puts the frozen image's rectangle from (left, top) to (right, bottom),
    // in screen pixels, on the clipboard.
    void ScrnCap(int left, int top, int right, int bottom);

    const QImage &frozenImage() const { return frozen_; }
    const Selection &selection() const { return selection_; }

    SelectionShape *cat_cho;
    QLabel *cat_big;
    QTimer *Ti;

public Q_SLOTS:
    void Ti_Timer();
    void cat_big_Click();

public:
    // Covers every monitor with the frozen picture and takes the keyboard.
    void Form_Load();
    // The form's mouse and key events; buttons as held (for a release, the
    // button let go), x and y in screen pixels; keyAscii 27 is Esc.
    void Form_MouseDown(Qt::MouseButtons buttons, float x, float y);
    void Form_MouseMove(Qt::MouseButtons buttons, float x, float y);
    void Form_MouseUp(Qt::MouseButtons button, float x, float y);
    void Form_KeyPress(int keyAscii);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Unload();
    void showSelection();
    void restoreCursor();

    MainForm &owner_;
    QImage frozen_; // device pixels, with the screen's device pixel ratio
    Selection selection_;
    int screenHeight_ = 0;
    bool crossCursor_ = false;
    bool labelPressed_ = false;
    // The capture has been asked for: input is no longer taken.
    bool capturing_ = false;
};

} // namespace areagrab
