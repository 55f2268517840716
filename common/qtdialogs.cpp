#include "common/qtdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace common {
namespace {
QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QString QtDialogs::getOpenFileName(QWidget *parent, const QString &title, const QString &initialDir,
                                   const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, title, initialDir, toQtFilter(filter));
}

QStringList QtDialogs::getOpenFileNames(QWidget *parent, const QString &title, const QString &initialDir,
                                        const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, title, initialDir, toQtFilter(filter));
}

QString QtDialogs::getSaveFileName(QWidget *parent, const QString &title, const QString &initialDir,
                                   const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, title, initialDir, toQtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::inform(QWidget *parent, const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::informWithAction(QWidget *parent, const QString &text, const QString &title, MessageIcon icon,
                                 const QString &action)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    QPushButton *extra = box.addButton(action, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == extra;
}

std::optional<QString> QtDialogs::getText(QWidget *parent, const QString &prompt, const QString &title,
                                          const QString &initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace common
