#include "ui/textform.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace areagrab {

TextForm::TextForm(const QString &text, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("textform"));
    setWindowTitle(QStringLiteral("识别文字"));
    txtResult = new QPlainTextEdit(text, this);
    txtResult->setObjectName(QStringLiteral("txtResult"));
    cmdCopyText = new QPushButton(QStringLiteral("复制"), this);
    cmdCopyText->setObjectName(QStringLiteral("cmdCopyText"));
    cmdClose = new QPushButton(QStringLiteral("关闭"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCopyText);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtResult, 1);
    layout->addLayout(buttons);
    // The selection when there is one, else every line.
    connect(cmdCopyText, &QPushButton::clicked, this, [this] {
        const QString selected = txtResult->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        QApplication::clipboard()->setText(selected.isEmpty() ? txtResult->toPlainText() : selected);
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(480, 320);
}

} // namespace areagrab
