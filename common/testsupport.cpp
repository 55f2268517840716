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

namespace {

int runWith(const QString &program, const QStringList &args, const QMap<QByteArray, QByteArray> &env,
            QByteArray *out, QByteArray *err, int timeoutMs, const QByteArray &input)
{
    QProcess p;
    if (!env.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (auto it = env.begin(); it != env.end(); ++it)
            it.value().isEmpty()
                ? e.remove(QString::fromLocal8Bit(it.key()))
                : e.insert(QString::fromLocal8Bit(it.key()), QString::fromLocal8Bit(it.value()));
        p.setProcessEnvironment(e);
    }
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

} // namespace

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err,
               int timeoutMs, const QByteArray &input)
{
    return runWith(program, args, {}, out, err, timeoutMs, input);
}

QByteArray missingPrograms(const QStringList &names)
{
    static const QStringList suite{QStringLiteral("trekport"), QStringLiteral("pixplot"),
                                   QStringLiteral("areagrab"), QStringLiteral("trekport-logger-sim")};
    QStringList missing;
    for (const QString &name : names) {
        const bool here =
            suite.contains(name) ? QFileInfo(builtProgram(name)).isExecutable() : hasProgram(name);
        if (!here)
            missing << name;
    }
    if (missing.isEmpty())
        return {};
    return (missing.join(QStringLiteral(", ")) + QStringLiteral(": not built here, or not installed"))
        .toUtf8();
}

bool exiftoolWrite(const QStringList &args)
{
    QByteArray err;
    const int rc = runProgram(QStringLiteral("exiftool"),
                              QStringList{QStringLiteral("-q"), QStringLiteral("-overwrite_original")} + args,
                              nullptr, &err, 120000);
    if (rc != 0)
        qWarning("exiftool: %s", err.constData());
    return rc == 0;
}

QString builtProgram(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QStringList Run::outLines() const
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

Run run(const QString &program, const QStringList &args, const QMap<QByteArray, QByteArray> &env,
        int timeoutMs)
{
    Run r;
    QByteArray out, err;
    r.code = runWith(program, args, env, &out, &err, timeoutMs, {});
    r.out = QString::fromUtf8(out);
    r.err = QString::fromUtf8(err);
    return r;
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
