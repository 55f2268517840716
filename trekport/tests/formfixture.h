#pragma once
// What trekport's window tests set up for every test: a fresh settings
// folder, the clock fixed, scripted dialogs, and forms made on them.
#include "common/clock.h"
#include "common/scripteddialogs.h"
#include "ui/mainform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace trekport {

class FormFixture {
protected:
    // From init().
    void startFixture(const QDateTime &now)
    {
        dir_ = std::make_unique<QTemporaryDir>();
        dialogs_ = std::make_unique<common::ScriptedDialogs>();
        common::clock::setFixed(now);
    }
    // From cleanup(): no dialog the test did not expect, no answer left over.
    void finishFixture()
    {
        common::clock::clearFixed();
        QVERIFY2(dialogs_->unexpected.isEmpty(), qPrintable(dialogs_->unexpected.join(QLatin1Char('|'))));
        QCOMPARE(dialogs_->pendingAnswers(), 0);
    }
    std::unique_ptr<MainForm> newForm() const
    {
        return std::make_unique<MainForm>(*dialogs_, dir_->path(), dir_->filePath(QStringLiteral("user")));
    }
    QString path(const QString &name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<common::ScriptedDialogs> dialogs_;
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace trekport
