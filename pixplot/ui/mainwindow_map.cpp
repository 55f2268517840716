// The main window's "地图" pane: where it goes and how it follows the lists.
#include "ui/mainwindow.h"

#include "ui/photomap.h"

#include "common/keyvaluefile.h"
#include "core/settingsfile.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QFileInfo>
#include <QTreeView>

namespace pixplot {

namespace {

// Below this free width the lists would lose their usable width to the map
// beside them; the map takes a window of its own there.
constexpr int kDockWidth = 1600;

// Whether the map was open and where its window stood, beside the
// matching settings; a preference, so a failed write costs only the place.
QString mapSettingsFile()
{
    return QFileInfo(settingsfile::defaultFile()).absolutePath() + QStringLiteral("/map.ini");
}

QString mapSetting(const QString &key)
{
    return common::keyValue(common::readKeyValues(mapSettingsFile()), key);
}

void storeMapSetting(const QString &key, const QString &value)
{
    common::storeKeyValue(mapSettingsFile(), key, value);
}

} // namespace

void PixplotMain::cmd_map_Click()
{
    showMap(cmd_map->isChecked());
}

void PixplotMain::restoreMap()
{
    // Shown at first start only where it docks beside the lists; on a small
    // screen its own window would cover the window the user opened.
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const bool docks = s && s->availableGeometry().width() >= kDockWidth;
    const QString shown = mapSetting(QStringLiteral("shown"));
    showMap(shown.isEmpty() ? docks : shown == QLatin1String("true"));
}

void PixplotMain::showMap(bool on)
{
    cmd_map->setChecked(on);
    if (!on) {
        if (map_ && map_->isVisible()) {
            saveMapPlace();
            map_->hide();
        }
        storeMapSetting(QStringLiteral("shown"), QStringLiteral("false"));
        return;
    }
    storeMapSetting(QStringLiteral("shown"), QStringLiteral("true"));
    if (!map_) {
        map_ = new PhotoMap(session_, mapFactory_, this);
        const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
        mapDocked_ = s && s->availableGeometry().width() >= kDockWidth;
        if (mapDocked_) {
            static_cast<QBoxLayout *>(layout())->addWidget(map_, 2);
            // The window grows by the map, within the screen, so the lists
            // keep the width they had.
            const QRect g = s->availableGeometry();
            const int wide = std::min(g.width() - 16, width() + 620);
            resize(wide, height());
            move(g.x() + std::max(0, (g.width() - wide - 16) / 2), y());
        } else {
            map_->setParent(this, Qt::Window);
            map_->setWindowTitle(QStringLiteral("地图"));
            const QByteArray place = QByteArray::fromBase64(mapSetting(QStringLiteral("geometry")).toLatin1());
            if (place.isEmpty() || !map_->restoreGeometry(place)) {
                // First time: at the screen's right edge, over the preview
                // and options rather than the lists.
                const QRect g = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
                map_->resize(std::min(640, g.width() / 2), std::min(600, g.height() - 80));
                map_->move(g.right() - map_->width() - 8, g.top() + 40);
            }
            map_->installEventFilter(this);
        }
        connect(map_, &PhotoMap::photoClicked, this,
                [this](qsizetype row) { setCurrentPhotoRow(row, true); });
        connect(ListGps->selectionModel(), &QItemSelectionModel::currentRowChanged, map_,
                [this](const QModelIndex &current) {
                    if (current.isValid())
                        map_->showPathPoint(current.row() + 1);
                });
        map_->selectPhoto(selectedPhotoRow());
    }
    map_->show();
    if (!mapDocked_)
        map_->raise();
}

void PixplotMain::saveMapPlace()
{
    if (map_ && !mapDocked_ && map_->isVisible())
        storeMapSetting(QStringLiteral("geometry"), QString::fromLatin1(map_->saveGeometry().toBase64()));
}

} // namespace pixplot
