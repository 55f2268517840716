#pragma once
// The lines of the status box: an optional port prefix, then the message.
#include <QString>

namespace trekport {

// "端口1打开! " while open, "端口1关闭!" while closed.
QString portPrefix(const QString &portText, bool open);

// The line AppendStatus adds to the status box.
QString statusLine(bool withPort, const QString &portText, bool open, const QString &text);

inline const QString initialStatusText = QStringLiteral("状态缓冲区……");

// "收到 100 个点": the end of an upload.
QString receivedPointsText(int points);
// Frames left out of a download that lost its alignment or its last bytes.
QString skippedFramesText(int frames);

} // namespace trekport

namespace trekport {
// The information text when a file cannot be written; names the path and
// the system's reason.
QString writeFailedMessage(const QString &path, const QString &reason);
// The information text when a file cannot be read; names the path and why.
QString readFailedMessage(const QString &path, const QString &reason);
} // namespace trekport
