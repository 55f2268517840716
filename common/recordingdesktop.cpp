#include "common/recordingdesktop.h"

namespace common {

RecordingDesktop::RecordingDesktop() : previous_(installDesktop(this))
{
}

RecordingDesktop::~RecordingDesktop()
{
    installDesktop(previous_);
}

bool RecordingDesktop::openUrl(const QUrl &url)
{
    opened.append(url);
    return true;
}

void RecordingDesktop::setClipboardText(const QString &text)
{
    clipboardText = text;
}

void RecordingDesktop::setClipboardImage(const QImage &image)
{
    clipboard = image;
}

QImage RecordingDesktop::clipboardImage() const
{
    return clipboard;
}

} // namespace common
