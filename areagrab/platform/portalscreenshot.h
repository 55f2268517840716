#pragma once
// One request to the desktop portal's Screenshot interface over D-Bus: asks
// for a picture of the screen (or, interactively, of what the user picks in
// the desktop's chooser), waits for the answer, loads the picture the portal
// saved and removes that file.
#include "platform/windowsystem.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

namespace areagrab {

class PortalScreenshot : public QObject {
    Q_OBJECT
public:
    static constexpr const char *DesktopService = "org.freedesktop.portal.Desktop";

    explicit PortalScreenshot(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                              const QString &service = QLatin1String(DesktopService));

    // What the portal offers to pick (the Screenshot interface's
    // AvailableTargets); a target of take is one of these bits.
    enum Target : uint { Screen = 1, Window = 2, Area = 4 };

    // Runs the event loop until the portal answers or timeoutMs passes.
    // target 0 leaves the choice to the desktop.
    ScreenImage take(bool interactive, int timeoutMs, uint target = 0);
    // A uint property of the Screenshot interface ("version",
    // "AvailableTargets"); 0 when the portal has none or cannot be asked.
    uint property(const QString &name);

    // The object path of the request with this token made over bus: the
    // portal derives it from the caller's unique name, so it is known, and
    // can be listened to, before the call is made.
    static QString requestPath(const QString &uniqueName, const QString &token);

Q_SIGNALS:
    void answered();

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    bool listen(const QString &path);
    void stopListening();

    QDBusConnection bus_;
    QString service_;
    QString listening_;
    bool answered_ = false;
    uint response_ = 0;
    QVariantMap results_;
};

} // namespace areagrab
