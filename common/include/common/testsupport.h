#pragma once
// Helpers tests share: where the real-world corpus lives, reading files back,
// and whether an external peer program is installed.
#include <QByteArray>
#include <QMap>
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

// Which of the programs a test needs are not here, as a reason to skip it
// ("" when all are): the suite's own programs count when built beside the
// test, any other when it is on PATH.
QByteArray missingPrograms(const QStringList &names);

// exiftool changing files in place, quietly ("-q -overwrite_original", then
// args); false, with exiftool's complaint as a warning, when it fails.
[[nodiscard]] bool exiftoolWrite(const QStringList &args);

// One of the suite's programs, built beside the test executables.
QString builtProgram(const QString &name);

// A finished run: the exit code (-1 when the program did not start or did
// not end by itself) and what it printed.
struct Run {
    int code = -1;
    QString out, err;
    // stdout's lines, empty ones left out.
    QStringList outLines() const;
};
// Runs a program with the environment changes env (an empty value removes
// the variable).
Run run(const QString &program, const QStringList &args, const QMap<QByteArray, QByteArray> &env = {},
        int timeoutMs = 120000);

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
