#pragma once
// Dialogs for tests: hands out queued answers in order and records every
// dialog shown, so a test can assert the exact texts the user would read.
#include "common/dialogs.h"

#include <QList>
#include <QQueue>

namespace common {

struct DialogCall {
    enum Kind { OpenFile, OpenFiles, SaveFile, YesNo, Info, Input };
    Kind kind;
    QString title;
    QString text;       // message text or input prompt
    QString initialDir; // file dialogs
    QString filter;     // file dialogs, as passed
    MessageIcon icon = MessageIcon::NoIcon;
    QString action = QString(); // the extra button of an information box, if any
};

class ScriptedDialogs : public Dialogs {
public:
    // Answers, taken in queue order by the next dialog that needs one.
    // Information boxes take none.
    void queueFile(const QString &path);       // open or save dialog
    void queueFiles(const QStringList &paths); // multi-select open dialog
    void queueCancel();                        // any file dialog or input box
    void queueYes();
    void queueNo();
    void queueText(const QString &text); // input box
    // Presses the extra button of the next informWithAction box; such a box
    // with anything else first in the queue is closed with OK.
    void queueAction();

    QList<DialogCall> calls; // every dialog shown, in order
    QStringList unexpected;  // dialogs that found no fitting answer
    int pendingAnswers() const { return int(answers_.size()); }

    // The calls of one kind, and the last information text (empty if none).
    QList<DialogCall> callsOf(DialogCall::Kind kind) const;
    QString lastInfo() const;

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

private:
    struct Answer {
        enum Kind { Files, Cancel, Yes, No, Text, Action } kind;
        QStringList files;
        QString text;
    };
    std::optional<Answer> take(const DialogCall &call);
    // The files a file dialog's answer holds; none (and noted as unexpected)
    // for another kind of answer, or for none where atLeastOne is asked.
    QStringList takeFiles(const DialogCall &call, bool atLeastOne);
    QQueue<Answer> answers_;
};

} // namespace common
