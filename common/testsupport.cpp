#include "common/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace testsupport {

QString corpusDir()
{
    const QString over = qEnvironmentVariable("SUITE_CORPUS_DIR");
    if (!over.isEmpty())
        return QFileInfo(over).isDir() ? over : QString();
    const QString src = qEnvironmentVariable("SUITE_SOURCE_DIR", QStringLiteral(SUITE_SOURCE_DIR_DEFAULT));
    const QString dir = QDir(src).absoluteFilePath(QStringLiteral("testdata"));
    return QFileInfo(dir).isDir() ? QDir::cleanPath(dir) : QString();
}

void prepareWebEngineTest()
{
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool hasProgram(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err,
               int timeoutMs, const QByteArray &input)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

struct ScratchConfig::Data {
    QTemporaryDir dir;
    QByteArray previous;
    bool hadPrevious = false;
};

ScratchConfig::ScratchConfig() : d(new Data)
{
    d->hadPrevious = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    d->previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(d->dir.path()));
}

ScratchConfig::~ScratchConfig()
{
    if (d->hadPrevious)
        qputenv("XDG_CONFIG_HOME", d->previous);
    else
        qunsetenv("XDG_CONFIG_HOME");
    delete d;
}

QString ScratchConfig::path() const
{
    return d->dir.path();
}

} // namespace testsupport
