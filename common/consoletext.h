#pragma once
// Command-line output: UTF-8 lines on stdout or stderr.
#include <QString>
#include <cstdio>

namespace common {

// Writes text and "\n" to stream as UTF-8. A message's CR LF line ends
// become plain line ends, so each of its lines is one console line.
void printLine(FILE *stream, const QString &text);

} // namespace common
