#pragma once
// One request to the desktop portal's Screenshot interface over D-Bus: asks
// for a picture of the screen (or, interactively, of what the user picks in
// the desktop's chooser), takes the answer, loads the picture the portal
// saved and removes that file.
#include "platform/windowsystem.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>

class QDBusPendingCallWatcher;

namespace areagrab {

class PortalScreenshot : public QObject {
    Q_OBJECT
public:
    static constexpr const char *DesktopService = "org.freedesktop.portal.Desktop";

    explicit PortalScreenshot(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                              const QString &service = QLatin1String(DesktopService));
    ~PortalScreenshot() override;

    // What the portal offers to pick (the Screenshot interface's
    // AvailableTargets); a target of take is one of these bits.
    enum Target : uint { Screen = 1, Window = 2, Area = 4 };

    // Sends the request; done gets the picture, or the reason there is none,
    // once the portal answers or timeoutMs passes (never while request runs).
    // target 0 leaves the choice to the desktop. One request at a time; none
    // is answered after this object is gone.
    void request(bool interactive, int timeoutMs, uint target, std::function<void(const ScreenImage &)> done);
    // The same, waiting for the answer in an event loop of its own: for the
    // command line, which has no other.
    ScreenImage take(bool interactive, int timeoutMs, uint target = 0);
    // A uint property of the Screenshot interface ("version",
    // "AvailableTargets"); 0 when the portal has none or cannot be asked.
    uint property(const QString &name);

    // The object path of the request with this token made over bus: the
    // portal derives it from the caller's unique name, so it is known, and
    // can be listened to, before the call is made.
    static QString requestPath(const QString &uniqueName, const QString &token);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    bool listen(const QString &path);
    void stopListening();
    // Ends the request with its result (the answer, an error or the
    // timeout) and hands it over.
    void finish();
    // Ends the request with text on the next turn of the event loop.
    void failLater(const QString &text);
    ScreenImage result() const;

    QDBusConnection bus_;
    QString service_;
    QString listening_;
    bool answered_ = false;
    uint response_ = 0;
    QVariantMap results_;
    QString failure_; // why the request failed before any answer
    int timeoutMs_ = 0;
    QTimer timeout_;
    std::unique_ptr<QDBusPendingCallWatcher> watcher_;
    std::function<void(const ScreenImage &)> done_;
};

} // namespace areagrab
