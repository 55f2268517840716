#pragma once
// What the windows ask of the desktop beyond themselves: opening a page, a
// file or a folder in the user's programs, and the clipboard. Behind one
// interface so tests can record it instead of starting a browser.
#include <QImage>
#include <QString>
#include <QUrl>

namespace common {

class Desktop {
public:
    virtual ~Desktop();
    // Hands url to the desktop's program for it; false if none took it.
    virtual bool openUrl(const QUrl &url) = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual void setClipboardImage(const QImage &image) = 0;
    virtual QImage clipboardImage() const = 0;
};

// The desktop as Qt reaches it (QDesktopServices, QClipboard).
class QtDesktop : public Desktop {
public:
    bool openUrl(const QUrl &url) override;
    void setClipboardText(const QString &text) override;
    void setClipboardImage(const QImage &image) override;
    QImage clipboardImage() const override;
};

// The desktop the windows use: QtDesktop unless one was installed.
Desktop &desktop();
// Installs d (nullptr: back to QtDesktop); returns the one it replaces.
Desktop *installDesktop(Desktop *d);

// Opens a written file the way its kind is looked at: a web page in the
// browser, anything else by showing the folder it is in.
bool openWrittenFile(const QString &path);

} // namespace common
