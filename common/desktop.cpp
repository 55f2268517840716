#include "common/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>

namespace common {

Desktop::~Desktop() = default;

bool QtDesktop::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void QtDesktop::setClipboardText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void QtDesktop::setClipboardImage(const QImage &image)
{
    QGuiApplication::clipboard()->setImage(image);
}

QImage QtDesktop::clipboardImage() const
{
    return QGuiApplication::clipboard()->image();
}

namespace {
Desktop *installed = nullptr;
}

Desktop &desktop()
{
    static QtDesktop qt;
    return installed ? *installed : qt;
}

Desktop *installDesktop(Desktop *d)
{
    return std::exchange(installed, d);
}

bool openWrittenFile(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return desktop().openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    return desktop().openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

} // namespace common
