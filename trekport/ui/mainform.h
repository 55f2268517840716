#pragma once
// The borderless main window `main`: the port controls, the track list, the
// status box and the file buttons. Handlers read the widgets, call the core
// and write the widgets back.
#include "common/dialogs.h"
#include "common/mapview.h"
#include "core/portsettings.h"
#include "core/tracksession.h"
#include "ui/tracklistview.h"

#include <QPoint>
#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace trekport {

class TrackMap;

class MainForm : public QWidget {
    Q_OBJECT
public:
    // settingsFolder: where SYS.ini is kept (the program folder normally);
    // userFolder: where it goes when that folder cannot be written.
    MainForm(common::Dialogs &dialogs, const QString &settingsFolder, const QString &userFolder = QString(),
             QWidget *parent = nullptr);
    ~MainForm() override;

    QPushButton *cmd_openp = nullptr;
    QComboBox *port_cs = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *cmd_upload = nullptr;
    QPushButton *inputxt = nullptr;
    QPushButton *outputxt = nullptr;
    QPushButton *cleardata = nullptr;
    QPushButton *name_mk = nullptr;
    QPushButton *kml_mk = nullptr;
    QPushButton *gpx_mk = nullptr;
    QLabel *zone_label = nullptr;
    QComboBox *zone_cs = nullptr;
    TrackListView *Lis = nullptr;
    QPlainTextEdit *txt_sata = nullptr;
    QTimer *Timer1 = nullptr;
    QToolButton *closeover = nullptr;
    QToolButton *map_show = nullptr;
    common::MapFactory mapFactory_;
    TrackMap *trackMap_ = nullptr;
    QLabel *movetitle = nullptr;
    QLabel *ImgTitle = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;

    TrackSession &session() { return session_; }
    const PointStore &pointStore() const { return session_.store(); }
    LoggerLink &link() { return session_.link(); }
    QString dataYear() const { return session_.dataYear(); }
    // The status box's lines, oldest first.
    QStringList statusLines() const;

    static QString label3Caption();
    // x, in window coordinates, where a list line's parts begin in Lis's
    // font: record, time, position, and the line's end.
    QList<int> listColumnStops() const;

public Q_SLOTS:
    void cmd_openp_Click();
    void cmd_upload_Click();
    void port_cs_Click();
    void closeover_Click();
    void Timer1_Timer();
    void Lis_DblClick();
    void cleardata_Click();
    void outputxt_Click();
    void inputxt_Click();
    void name_mk_Click();
    void kml_mk_Click();
    void gpx_mk_Click();
    // The zone box lost focus or a zone was chosen: check and remember it.
    void zone_cs_Change();
    // GTXT files dropped on the list are read as "读取" reads one.
    void Lis_DragDrop(const QStringList &paths);
    // "地图": the listed track in a map window of its own, made when first
    // shown by the factory given (the web map unless set).
    void map_show_Click();
    void setMapFactory(common::MapFactory factory) { mapFactory_ = std::move(factory); }
    TrackMap *trackMap() const { return trackMap_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTitleBar();
    void buildControls();
    void connectHandlers();
    void orderTabs();
    void Form_Load();
    void LoadSettings();
    void SaveSettings();
    void AppendStatus(bool withPort, const QString &text);
    void movetitle_MouseDown(const QPoint &globalPos);
    void setPortOpenState(bool open);
    void alignLabel3();
    void onPointsAppended();
    void onUploadSettled(int points, int skipped);
    void onDeviceLost();
    void onPortActivated(int index);
    // Reads one GTXT file into the list and says what came of it.
    void readTrackFile(const QString &path);
    // The save dialog (a bare name gets the suffix) and the overwrite
    // question; empty when the user stops or the file may not be written.
    QString askSavePath(TrackFormat format, const QString &title, const QString &filter,
                        const QString &questionTitle);
    // The year the NAME and GPX times need: kept on Yes, typed in on No.
    void askDataYear();
    // One export: asks where (and the year when the format needs it),
    // writes through the session and tells the user.
    void exportTrack(TrackFormat format, const QString &title, const QString &filter,
                     const QString &questionTitle);

    common::Dialogs &dialogs_;
    PortSettings settings_;
    TrackSession session_;
    // Text typed into port_cs since its list was last closed: the combo box
    // reports it as chosen when typing ends, but only a choice from the
    // list is remembered.
    QString portTyped_;
    bool manualDrag_ = false;
    QPoint dragOffset_;
};

} // namespace trekport
