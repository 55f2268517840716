#pragma once
// Command-line output: UTF-8 lines on stdout or stderr.
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace common {

// The exit status of the three command lines: 0 done, 1 a failure or bad
// input (a file, the port, the screen), 2 wrong usage (an unknown option, a
// malformed value, options that do not go together).
enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// A window message (CR LF line ends) as console lines: each CR LF becomes a
// plain line end.
QString consoleLines(QString message);

// A window message on one console line, for messages that lead a line of
// their own: a blank line between paragraphs or a line end becomes a space.
QString consoleOneLine(QString message);

// The command lines' --help: one "Usage: PROGRAM SYNOPSIS" line a synopsis,
// the summary, then "Options:" with one option a line ("  -h, --help",
// "  --port <P>"), the descriptions in one column after the longest.
QString helpText(const QString &program, const QStringList &synopses, const QString &summary,
                 const QList<QCommandLineOption> &options);

// The one help option of the three programs: -?, -h, --help.
QCommandLineOption helpOption();

// The message for arguments QCommandLineParser refused (parser.errorText()),
// in Chinese: "未知选项：--x", "选项 --x 缺少值", "选项 --x 不带值". An
// unknown option close to one of known gets it as a hint:
// "未知选项：--write-gsp（是否指 --write-gps？）".
QString usageErrorText(const QString &parserError, const QStringList &unknownOptions,
                       const QList<QCommandLineOption> &known = {});

// The known option name a mistyped one most likely meant (a letter or two
// off, two letters swapped, or the start of exactly one name); empty if none.
QString closestOptionName(const QString &name, const QList<QCommandLineOption> &known);

// The command lines' one refusal of an output that exists already:
// "文件已经存在：PATH（加 --overwrite 覆盖）".
QString overwriteRefusal(const QString &path);

} // namespace common
