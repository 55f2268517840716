#pragma once
// Window "识别文字": the text read from a capture, to select and copy.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace areagrab {

class TextForm : public QDialog {
    Q_OBJECT
public:
    explicit TextForm(const QString &text, QWidget *parent = nullptr);

    QPlainTextEdit *txtResult;
    QPushButton *cmdCopyText;
    QPushButton *cmdClose;
};

} // namespace areagrab
