#pragma once
// Helpers tests share: where the real-world corpus lives, reading files back,
// and whether an external peer program is installed.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

// The real-file corpus the project carries in testdata/ (SUITE_CORPUS_DIR
// overrides); empty only when that folder is missing.
QString corpusDir();
QByteArray readAll(const QString &path);
bool hasProgram(const QString &name);
// Runs a program and returns its exit code (-1 if it could not start);
// stdout and stderr go to *out / *err when given.
int runProgram(const QString &program, const QStringList &args, QByteArray *out = nullptr,
               QByteArray *err = nullptr, int timeoutMs = 60000, const QByteArray &input = QByteArray());

// Before the application object of a test that runs the web engine: no
// sandbox (it refuses to start as root with one), no GPU (none under Xvfb or
// offscreen), shared GL contexts.
void prepareWebEngineTest();

// Points the user's config folder ($XDG_CONFIG_HOME) at an empty scratch
// folder for as long as it lives, so remembered settings neither come from
// nor go to the real one.
class ScratchConfig {
public:
    ScratchConfig();
    ~ScratchConfig();
    ScratchConfig(const ScratchConfig &) = delete;
    ScratchConfig &operator=(const ScratchConfig &) = delete;
    QString path() const;

private:
    struct Data;
    Data *d;
};

} // namespace testsupport
