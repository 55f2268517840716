#pragma once
// Everything modal that a window asks of the user, behind one interface so
// tests can answer it (ScriptedDialogs) and record what the user would read.
#include <QString>
#include <QStringList>
#include <optional>

class QComboBox;
class QWidget;

namespace common {

class TimeZoneSetting;

enum class MessageIcon { NoIcon, Information, Question, Warning, Critical };

class Dialogs {
public:
    virtual ~Dialogs();

    // Filters are written "description|patterns|description|patterns",
    // patterns separated by ";" (e.g. "文本文件 (*.gtxt)|*.gtxt").
    // An empty result means the user cancelled.
    virtual QString getOpenFileName(QWidget *parent, const QString &title, const QString &initialDir,
                                    const QString &filter) = 0;
    virtual QStringList getOpenFileNames(QWidget *parent, const QString &title, const QString &initialDir,
                                         const QString &filter) = 0;
    // Never asks about overwriting: callers ask their own question.
    virtual QString getSaveFileName(QWidget *parent, const QString &title, const QString &initialDir,
                                    const QString &filter) = 0;
    // Yes/No box; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text, const QString &title, MessageIcon icon) = 0;
    // OK box.
    virtual void inform(QWidget *parent, const QString &text, const QString &title, MessageIcon icon) = 0;
    // OK box with one more button (action, e.g. "打开"); true when the user
    // pressed that one.
    virtual bool informWithAction(QWidget *parent, const QString &text, const QString &title,
                                  MessageIcon icon, const QString &action) = 0;
    // Text input box; nullopt when cancelled.
    virtual std::optional<QString> getText(QWidget *parent, const QString &prompt, const QString &title,
                                           const QString &initial = QString()) = 0;
};

// The windows' one overwrite question: true when path does not exist yet or
// the user answers Yes to "文件已经存在，是否覆盖文件？" (question icon, title as
// given). Whether path may be written at all is the caller's check.
bool confirmOverwrite(Dialogs &dialogs, QWidget *parent, const QString &path, const QString &title);

// The zone a window's zone box holds; nullopt after putting current back in
// the box and warning that the text names no zone (title as given).
std::optional<TimeZoneSetting> zoneFromBox(Dialogs &dialogs, QWidget *parent, QComboBox *box,
                                           const TimeZoneSetting &current, const QString &title);

// Turns "desc|pat;pat|desc|pat" into Qt's "desc (pat pat);;desc (pat)".
// Each pattern is offered in lower and upper case too, since file names on
// Linux are case-sensitive and photos come as .jpg and .JPG alike.
QString toQtFilter(const QString &filter);

} // namespace common
