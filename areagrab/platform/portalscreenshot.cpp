#include "platform/portalscreenshot.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

namespace areagrab {

namespace {

const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

ScreenImage failure(const QString &text)
{
    return {{}, text};
}

} // namespace

PortalScreenshot::PortalScreenshot(const QDBusConnection &bus, const QString &service)
    : bus_(bus), service_(service)
{
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, &PortalScreenshot::finish);
}

PortalScreenshot::~PortalScreenshot()
{
    stopListening();
}

QString PortalScreenshot::requestPath(const QString &uniqueName, const QString &token)
{
    QString sender = uniqueName;
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool PortalScreenshot::listen(const QString &path)
{
    listening_ = path;
    return bus_.connect(service_, path, RequestInterface, QStringLiteral("Response"), this,
                        SLOT(onResponse(uint, QVariantMap)));
}

void PortalScreenshot::stopListening()
{
    if (listening_.isEmpty())
        return;
    bus_.disconnect(service_, listening_, RequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
    listening_.clear();
}

void PortalScreenshot::onResponse(uint response, const QVariantMap &results)
{
    if (!done_ || answered_)
        return;
    answered_ = true;
    response_ = response;
    results_ = results;
    finish();
}

uint PortalScreenshot::property(const QString &name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        service_, PortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << ScreenshotInterface << name;
    const QDBusMessage reply = bus_.call(get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toUInt();
}

void PortalScreenshot::failLater(const QString &text)
{
    failure_ = text;
    timeout_.start(0);
}

void PortalScreenshot::request(bool interactive, int timeoutMs, uint target,
                               std::function<void(const ScreenImage &)> done)
{
    done_ = std::move(done);
    answered_ = false;
    results_.clear();
    failure_.clear();
    timeoutMs_ = timeoutMs;
    if (!bus_.isConnected()) {
        failLater(QStringLiteral("无法连接到 D-Bus 会话总线：Wayland 下要通过桌面门户读取屏幕。"));
        return;
    }
    // Unique on this connection and not guessable by other clients.
    static uint counter = 0;
    const QString token =
        QStringLiteral("areagrab%1_%2").arg(++counter).arg(QRandomGenerator::global()->generate());
    // Listen first: the portal may answer before the call itself returns.
    if (!listen(requestPath(bus_.baseService(), token))) {
        failLater(QStringLiteral("无法接收桌面门户的回答：%1").arg(bus_.lastError().message()));
        return;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(service_, PortalPath, ScreenshotInterface,
                                                       QStringLiteral("Screenshot"));
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("interactive"), interactive}};
    if (target)
        options.insert(QStringLiteral("target"), target);
    call << QString() /* no parent window */ << options;
    watcher_ = std::make_unique<QDBusPendingCallWatcher>(bus_.asyncCall(call, timeoutMs));
    connect(watcher_.get(), &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        // The answer may have ended the request already.
        if (!done_)
            return;
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            // No reply in time is the timeout, said the same way.
            if (reply.error().type() != QDBusError::NoReply) {
                failure_ = QStringLiteral("桌面门户无法截图：%1").arg(reply.error().message());
                finish();
            }
            return;
        }
        // A portal older than the token scheme names its own request.
        const QString handle = reply.value().path();
        if (handle != listening_ && !answered_) {
            stopListening();
            listen(handle);
        }
    });
    timeout_.start(timeoutMs);
}

void PortalScreenshot::finish()
{
    if (!done_)
        return;
    timeout_.stop();
    stopListening();
    if (watcher_) {
        // Not deleted from inside its own signal.
        watcher_.release()->deleteLater();
    }
    const auto done = std::move(done_);
    done_ = nullptr;
    done(result());
}

ScreenImage PortalScreenshot::take(bool interactive, int timeoutMs, uint target)
{
    QEventLoop loop;
    ScreenImage shot;
    bool finished = false;
    request(interactive, timeoutMs, target, [&](const ScreenImage &answer) {
        shot = answer;
        finished = true;
        loop.quit();
    });
    if (!finished)
        loop.exec();
    return shot;
}

ScreenImage PortalScreenshot::result() const
{
    if (!answered_) {
        if (!failure_.isEmpty())
            return failure(failure_);
        return failure(QStringLiteral("桌面门户在 %1 秒内没有回答截图请求。").arg((timeoutMs_ + 999) / 1000));
    }
    if (response_ == 1)
        return failure(QStringLiteral("截图请求被拒绝或取消。"));
    if (response_ != 0)
        return failure(QStringLiteral("桌面门户未能截取屏幕。"));

    const QUrl uri(results_.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return failure(QStringLiteral("桌面门户没有给出截图文件：“%1”").arg(uri.toString()));
    const QString file = uri.toLocalFile();
    QImageReader reader(file);
    ScreenImage shot;
    shot.image = reader.read();
    // The picture is ours now; the file the portal left is not wanted.
    QFile::remove(file);
    if (shot.image.isNull())
        return failure(QStringLiteral("无法读取桌面门户保存的截图 %1：%2").arg(file, reader.errorString()));
    shot.image = shot.image.convertToFormat(QImage::Format_RGB32);
    shot.image.setDevicePixelRatio(1.0);
    return shot;
}

} // namespace areagrab
