#pragma once
// The desktop for tests: records what the windows asked to open and keeps
// the clipboard to itself. Installed for as long as it lives.
#include "common/desktop.h"

#include <QList>

namespace common {

class RecordingDesktop : public Desktop {
public:
    RecordingDesktop();
    ~RecordingDesktop() override;
    RecordingDesktop(const RecordingDesktop &) = delete;
    RecordingDesktop &operator=(const RecordingDesktop &) = delete;

    QList<QUrl> opened;
    QString clipboardText;
    QImage clipboard;

    bool openUrl(const QUrl &url) override;
    void setClipboardText(const QString &text) override;
    void setClipboardImage(const QImage &image) override;
    QImage clipboardImage() const override;

private:
    Desktop *previous_;
};

} // namespace common
