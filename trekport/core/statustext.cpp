#include "statustext.h"

namespace trekport {

QString portPrefix(const QString &portText, bool open)
{
    return QStringLiteral("端口") + portText + (open ? QStringLiteral("打开! ") : QStringLiteral("关闭!"));
}

QString statusLine(bool withPort, const QString &portText, bool open, const QString &text)
{
    return withPort ? portPrefix(portText, open) + text : text;
}

QString receivedPointsText(int points)
{
    return QStringLiteral("收到 %1 个点").arg(points);
}

QString skippedFramesText(int frames)
{
    return QStringLiteral("%1 个数据帧无效（可能丢失了字节），已跳过").arg(frames);
}

} // namespace trekport

namespace trekport {
QString writeFailedMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("文件无法写入：\r\n") + path + QStringLiteral("\r\n原因：") + reason
        + QStringLiteral("\r\n\r\n原有文件未改动。");
}

QString readFailedMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("文件无法读取：\r\n") + path + QStringLiteral("\r\n原因：") + reason;
}
} // namespace trekport
