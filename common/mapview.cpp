#include "common/mapview.h"

#ifdef SUITE_HAVE_WEBENGINE
#include "common/webmapview.h"
#endif

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QVBoxLayout>

#include <cmath>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace common {

namespace {

// A pane that holds only the reason there is no map.
class MapMessage : public MapView {
public:
    MapMessage(const QString &reason, QWidget *parent) : MapView(parent), reason_(reason)
    {
        setObjectName(QStringLiteral("map_message"));
        auto *label = new QLabel(mapUnavailableText(reason), this);
        label->setObjectName(QStringLiteral("map_text"));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *l = new QVBoxLayout(this);
        l->addWidget(label);
    }
    bool isUsable() const override { return false; }
    QString problem() const override { return reason_; }
    void setTrack(const QList<QList<MapCoordinate>> &) override { }
    void setMarkers(const QList<MapMarker> &) override { }
    void selectMarker(const QString &) override { }
    void showFix(const MapCoordinate &, const QString &) override { }
    void setTiles(const MapTiles &) override { }
    MapReport lastReport() const override { return {}; }
    QSize sizeHint() const override { return {320, 240}; }

private:
    QString reason_;
};

#ifdef SUITE_HAVE_WEBENGINE
// The engine aborts the whole program when its helper process is missing:
// look for it first, where the engine itself looks.
QString missingEngineHelper()
{
    const QByteArray set = qgetenv("QTWEBENGINEPROCESS_PATH");
    const QString helper = set.isEmpty()
        ? QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/QtWebEngineProcess")
        : QString::fromLocal8Bit(set);
    const QFileInfo info(helper);
    if (info.isFile() && info.isExecutable())
        return {};
    return QStringLiteral("找不到网页引擎的进程 %1").arg(helper);
}
#endif

} // namespace

MapView *createMapView(QWidget *parent)
{
#ifdef SUITE_HAVE_WEBENGINE
    const QString missing = missingEngineHelper();
    if (!missing.isEmpty())
        return createMapMessage(missing, parent);
    return new WebMapView(parent);
#else
    return createMapMessage(QStringLiteral("本程序编译时没有网页引擎（Qt WebEngine）"), parent);
#endif
}

MapView *createMapMessage(const QString &reason, QWidget *parent)
{
    return new MapMessage(reason, parent);
}

void prepareMapEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifdef Q_OS_UNIX
    // As root the engine refuses to start inside its sandbox.
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox")) {
            flags += flags.isEmpty() ? "--no-sandbox" : " --no-sandbox";
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
    }
#endif
}

double mapDistance(const MapCoordinate &a, const MapCoordinate &b)
{
    constexpr double kEarthRadius = 6371008.8;
    constexpr double rad = M_PI / 180;
    const double dLat = (b.latitude - a.latitude) * rad;
    const double dLng = (b.longitude - a.longitude) * rad;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(a.latitude * rad) * std::cos(b.latitude * rad) * std::sin(dLng / 2) * std::sin(dLng / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

QString mapUnavailableText(const QString &reason)
{
    return QStringLiteral("地图暂不可用：") + reason;
}

} // namespace common
