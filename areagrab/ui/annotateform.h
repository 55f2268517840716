#pragma once
// Window "标注": the capture at its own size with the marking tools
// (rectangle, ellipse, arrow, pen, text, numbered steps, mosaic), colour,
// width, undo and redo. "完成" hands the marked capture back; "复制" and
// Ctrl+C put it on the clipboard.
#include "core/annotation.h"

#include <QDialog>
#include <QMap>

class QButtonGroup;
class QComboBox;
class QHBoxLayout;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace common {
class Dialogs;
}

namespace areagrab {

class AnnotationCanvas;

class AnnotateForm : public QDialog {
    Q_OBJECT
public:
    // capture in device pixels at the screen's ratio.
    AnnotateForm(const QImage &capture, common::Dialogs &dialogs, QWidget *parent = nullptr);

    // The capture with every mark burned in (device pixels, ratio kept).
    QImage result() const;
    const Annotations &marks() const { return marks_; }
    QToolButton *toolButton(ShapeKind kind) const { return tools_.value(kind); }

    AnnotationCanvas *canvas;
    QScrollArea *scroll;
    QComboBox *cboColour;
    QSpinBox *spnWidth;
    QPushButton *cmdUndo;
    QPushButton *cmdRedo;
    QPushButton *cmdCopy;
    QPushButton *cmdDone;
    QPushButton *cmdCancel;

public Q_SLOTS:
    void undo();
    void redo();
    void copyToClipboard();

private:
    QHBoxLayout *buildToolBar();
    void connectControls();
    void refresh();

    common::Dialogs &dialogs_;
    Annotations marks_;
    QButtonGroup *toolGroup_;
    QMap<ShapeKind, QToolButton *> tools_;
};

} // namespace areagrab
