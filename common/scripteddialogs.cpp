#include "common/scripteddialogs.h"

namespace common {

void ScriptedDialogs::queueFile(const QString &path)
{
    answers_.enqueue({Answer::Files, {path}, {}});
}
void ScriptedDialogs::queueFiles(const QStringList &paths)
{
    answers_.enqueue({Answer::Files, paths, {}});
}
void ScriptedDialogs::queueCancel()
{
    answers_.enqueue({Answer::Cancel, {}, {}});
}
void ScriptedDialogs::queueYes()
{
    answers_.enqueue({Answer::Yes, {}, {}});
}
void ScriptedDialogs::queueNo()
{
    answers_.enqueue({Answer::No, {}, {}});
}
void ScriptedDialogs::queueText(const QString &text)
{
    answers_.enqueue({Answer::Text, {}, text});
}
void ScriptedDialogs::queueAction()
{
    answers_.enqueue({Answer::Action, {}, {}});
}

QList<DialogCall> ScriptedDialogs::callsOf(DialogCall::Kind kind) const
{
    QList<DialogCall> out;
    for (const DialogCall &c : calls)
        if (c.kind == kind)
            out.append(c);
    return out;
}

QString ScriptedDialogs::lastInfo() const
{
    for (auto it = calls.crbegin(); it != calls.crend(); ++it)
        if (it->kind == DialogCall::Info)
            return it->text;
    return {};
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::take(const DialogCall &call)
{
    calls.append(call);
    if (answers_.isEmpty()) {
        unexpected.append(QStringLiteral("no answer queued for \"%1\" / \"%2\"").arg(call.title, call.text));
        return std::nullopt;
    }
    return answers_.dequeue();
}

QStringList ScriptedDialogs::takeFiles(const DialogCall &call, bool atLeastOne)
{
    const auto a = take(call);
    if (!a || a->kind == Answer::Cancel)
        return {};
    if (a->kind != Answer::Files || (atLeastOne && a->files.isEmpty())) {
        const QString dialog =
            call.kind == DialogCall::SaveFile ? QStringLiteral("save") : QStringLiteral("open");
        unexpected.append(QStringLiteral("%1 dialog \"%2\" got a non-file answer").arg(dialog, call.title));
        return {};
    }
    return a->files;
}

QString ScriptedDialogs::getOpenFileName(QWidget *, const QString &title, const QString &initialDir,
                                         const QString &filter)
{
    const QStringList files = takeFiles({DialogCall::OpenFile, title, {}, initialDir, filter}, true);
    return files.isEmpty() ? QString() : files.first();
}

QStringList ScriptedDialogs::getOpenFileNames(QWidget *, const QString &title, const QString &initialDir,
                                              const QString &filter)
{
    return takeFiles({DialogCall::OpenFiles, title, {}, initialDir, filter}, false);
}

QString ScriptedDialogs::getSaveFileName(QWidget *, const QString &title, const QString &initialDir,
                                         const QString &filter)
{
    const QStringList files = takeFiles({DialogCall::SaveFile, title, {}, initialDir, filter}, true);
    return files.isEmpty() ? QString() : files.first();
}

bool ScriptedDialogs::askYesNo(QWidget *, const QString &text, const QString &title, MessageIcon icon)
{
    const auto a = take({DialogCall::YesNo, title, text, {}, {}, icon});
    if (!a)
        return false;
    if (a->kind != Answer::Yes && a->kind != Answer::No) {
        unexpected.append(QStringLiteral("question \"%1\" got a non-yes/no answer").arg(text));
        return false;
    }
    return a->kind == Answer::Yes;
}

void ScriptedDialogs::inform(QWidget *, const QString &text, const QString &title, MessageIcon icon)
{
    calls.append({DialogCall::Info, title, text, {}, {}, icon});
}

bool ScriptedDialogs::informWithAction(QWidget *, const QString &text, const QString &title, MessageIcon icon,
                                       const QString &action)
{
    DialogCall call{DialogCall::Info, title, text, {}, {}, icon};
    call.action = action;
    calls.append(call);
    if (answers_.isEmpty() || answers_.head().kind != Answer::Action)
        return false;
    answers_.dequeue();
    return true;
}

std::optional<QString> ScriptedDialogs::getText(QWidget *, const QString &prompt, const QString &title,
                                                const QString &)
{
    const auto a = take({DialogCall::Input, title, prompt, {}, {}});
    if (!a || a->kind == Answer::Cancel)
        return std::nullopt;
    if (a->kind != Answer::Text) {
        unexpected.append(QStringLiteral("input box \"%1\" got a non-text answer").arg(prompt));
        return std::nullopt;
    }
    return a->text;
}

} // namespace common
