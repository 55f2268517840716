#pragma once
// The dialog seam as the user sees it: QFileDialog, QMessageBox, QInputDialog.
#include "common/dialogs.h"

namespace common {

class QtDialogs : public Dialogs {
public:
    QString getOpenFileName(QWidget *parent, const QString &title, const QString &initialDir,
                            const QString &filter) override;
    QStringList getOpenFileNames(QWidget *parent, const QString &title, const QString &initialDir,
                                 const QString &filter) override;
    QString getSaveFileName(QWidget *parent, const QString &title, const QString &initialDir,
                            const QString &filter) override;
    bool askYesNo(QWidget *parent, const QString &text, const QString &title, MessageIcon icon) override;
    void inform(QWidget *parent, const QString &text, const QString &title, MessageIcon icon) override;
    bool informWithAction(QWidget *parent, const QString &text, const QString &title, MessageIcon icon,
                          const QString &action) override;
    std::optional<QString> getText(QWidget *parent, const QString &prompt, const QString &title,
                                   const QString &initial = QString()) override;
};

} // namespace common
