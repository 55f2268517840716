#pragma once
// pixplot's main window, form "main": the photo list and preview, the GPS
// path, the clock correction and matching, and the photo output options.
#include "core/photooutput.h"
#include "core/photosession.h"
#include "core/preview.h"

#include "common/mapview.h"

#include <QWidget>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace common {
class Dialogs;
}

namespace pixplot {

class NMEAF;
class PathListModel;
class PhotoMap;
class PhotoListModel;

class PixplotMain : public QWidget {
    Q_OBJECT
public:
    explicit PixplotMain(common::Dialogs &dialogs, QWidget *parent = nullptr);
    ~PixplotMain() override;

    // Reads the settings kept in file (zone, matching, corrections, folders)
    // into the form, and writes them back there when the window goes.
    void keepSettingsIn(const QString &file);

    // A frame's whole caption (its title may show it elided).
    static QString boxCaption(const QGroupBox *box);

    // Photo list (row i, 1-based, is photoRows()[i - 1]).
    void cmd_add_Click();
    // Adds photos as "加入..." does, from the dialog or dropped on the list;
    // a folder stands for the files in it.
    void addPhotoFiles(const QStringList &files);
    void cmd_del_Click();
    // Delete in the photo list: the selected rows, after asking.
    void removeSelectedPhotos();
    void cmd_clear_Click();
    void ListView_DblClick();
    void ListView_ItemClick(qsizetype row);
    // GPS path.
    void cmd_addname_Click();
    // Loads path as "加入..." does once a file is chosen (or dropped).
    void loadPathFile(const QString &path);
    void cmd_clearname_Click();
    void cmd_ct_Click();
    // Clock correction and matching.
    void tz_f_Click();
    void tzc_Click(int index);
    void cmd_tedit_Click();
    void wcc_Click(int index);
    void cmd_plgoto_Click();
    void cmd_plclr_Click();
    void cmd_clrnowpl_Click();
    void cmd_hdaddpl_Click();
    // "以照片对时": the selected photo shows a clock; the user types its time.
    void cmd_sync_Click();
    // The zone box: a valid zone re-reads the loaded path's times in it.
    void zone_cs_Change();
    // Output.
    void Ck_reanme_Click();
    void Ck_frame_Click();
    void cmd_make_Click();
    void cmd_allmake_Click();

    // The "地图" pane: beside the lists where the screen is wide enough,
    // else its own window that keeps its place. Made when first shown, by
    // the factory given (the web map unless set).
    void cmd_map_Click();
    void showMap(bool on);
    void setMapFactory(common::MapFactory factory) { mapFactory_ = std::move(factory); }
    PhotoMap *mapPane() const { return map_; }
    // Shows the map if it was shown when the program last closed (and the
    // first time); the program calls this, tests choose for themselves.
    void restoreMap();

    // A batch of "批量执行" is working in the background.
    bool batchRunning() const { return session_.batchRunning(); }
    // Photos "批量执行" works on at once (one per core unless set).
    void setBatchJobs(int jobs) { batchJobs_ = jobs; }

    // Progress panel; an empty caption hides it.
    void ShowProgress(const QString &caption, qint64 current, qint64 total);
    // Processes row (1-based) with the options as the form shows them.
    photooutput::Outcome ProcessPhoto(qsizetype row, bool reframe = false);
    photooutput::Options outputOptions() const;
    // True, after telling the user, when renaming by a prefix that would
    // leave the photo's folder: then nothing is processed.
    bool prefixRefused();

    // What the window shows and works on.
    const PhotoSession &session() const { return session_; }
    const QList<PhotoRow> &photoRows() const;
    const QList<PathPoint> &pathPoints() const;
    // The selected rows (1-based), 0 when none.
    qsizetype selectedPhotoRow() const;
    qsizetype selectedPathRow() const;
    // Where the last preview was drawn in Pictemp, in twips.
    preview::Placement previewPlacement() const { return placement_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The form and its parts, from top left to bottom right.
    void buildForm();
    void buildPhotoBox();
    void buildPathBox();
    void buildPreviewBox(QBoxLayout *column);
    void buildOffsetRow(QBoxLayout *column);
    void buildMatchingRows(QBoxLayout *column);
    void buildEditBox(QBoxLayout *column);
    void buildProgressPanel();
    void connectControls();
    // Files dropped on the lists, and the keys that press the buttons.
    void addDropsAndKeys();
    void setTabChain();
    // Ties the lists to the session's change signals.
    void showSession();
    // The path list and caption after the session's path changed.
    void pathShown();
    void Form_Load();
    void setCurrentPhotoRow(qsizetype row, bool showPreview);
    // The preview shows the selected row, or nothing when none is.
    void showSelectedPreview();
    void clearPreview();
    void fitNameColumn(const QStringList &names);
    // Shares the width: every column of both lists readable (the lists
    // side by side where they fit, else one above the other), the rest to
    // a larger preview.
    void fitPanes();
    void setPathCaption(const QString &caption);
    void setPhotoCaption(const QString &caption);
    QLineEdit *makeOffsetField(int k);
    void buildClockRow(QBoxLayout *column);
    // The camera the correction controls work on ("" unknown), or all.
    QString chosenCamera() const;
    // The offset the sign box and fields show, in seconds.
    qint64 shownCorrection() const;
    void showCorrection(qint64 seconds);
    // The live sentence under the correction controls.
    void updateClockText();
    void refreshCameras();
    // Offers the shift that puts more photos within the path's time.
    void offerSuggestion();
    // Asks before a new path replaces the loaded one; true to go on.
    bool mayReplacePath();
    bool dropOn(QTreeView *list, QEvent *event);

    common::Dialogs &dialogs_;
    PhotoSession session_; // the rows, the path and the work on them
    PhotoListModel *photoModel_;
    PathListModel *pathModel_;
    NMEAF *nmeaf_ = nullptr;
    QString settingsFile_; // "" keeps nothing
    void writeSettings();
    QBoxLayout *lists_ = nullptr;  // the two list frames
    QBoxLayout *right_ = nullptr;  // preview, clock and output column
    int nameWanted_ = 0;           // width the longest photo name asks for
    bool fitting_ = false;
    preview::Placement placement_;
    bool previewBlocked_ = false;
    bool mouseHeldOnList_ = false; // the click that follows shows the preview

    // Controls, named as the form names them.
    QGroupBox *pic_box = nullptr;
    QTreeView *ListView = nullptr;
    QPushButton *cmd_add = nullptr, *cmd_del = nullptr, *cmd_clear = nullptr;
    QGroupBox *Gps_box = nullptr;
    QTreeView *ListGps = nullptr;
    QPushButton *cmd_addname = nullptr, *cmd_clearname = nullptr, *cmd_ct = nullptr;
    QGroupBox *picture_review = nullptr;
    QLabel *Pictemp = nullptr;
    QWidget *tzbox = nullptr;
    QCheckBox *tz_f = nullptr;
    QLineEdit *tzt[3] = {};
    QPushButton *tzc[6] = {};
    QPushButton *cmd_tedit = nullptr;
    QLabel *clock_text = nullptr;    // what the correction will do, in words
    QComboBox *camera_cs = nullptr;  // the camera corrected, or "所有相机"
    QPushButton *cmd_sync = nullptr; // "以照片对时"
    bool showingCorrection_ = false;
    QLabel *wctLabel = nullptr;
    QLineEdit *wct = nullptr;
    QPushButton *wcc[4] = {};
    QCheckBox *ck_interp = nullptr; // "插值"
    QLineEdit *max_gap = nullptr;   // gap limit of the interpolation, seconds
    QLabel *zone_label = nullptr;
    QComboBox *zone_cs = nullptr;
    QPushButton *cmd_plgoto = nullptr, *cmd_plclr = nullptr, *cmd_clrnowpl = nullptr, *cmd_hdaddpl = nullptr;
    QGroupBox *editBox = nullptr;
    QCheckBox *Ck_backup = nullptr, *Ck_reanme = nullptr;
    QRadioButton *Op_time = nullptr, *Op_incre = nullptr;
    QLineEdit *incre_txt = nullptr;
    QCheckBox *Ck_frame = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *frame_txt = nullptr;
    QCheckBox *Ck_time = nullptr, *Ck_gps = nullptr;
    QCheckBox *Ck_exifgps = nullptr;
    QLabel *Label_gpsplace = nullptr;
    QComboBox *Cmb_gpsplace = nullptr;
    QPushButton *cmd_make = nullptr, *cmd_allmake = nullptr;
    QFrame *pic_info = nullptr;
    QLabel *txt_info = nullptr;
    QFrame *sp_info = nullptr;
    QPushButton *cmd_cancel = nullptr;

    void batchDone(const BatchResult &result);
    void saveMapPlace();
    common::MapFactory mapFactory_;
    PhotoMap *map_ = nullptr;
    QPushButton *cmd_map = nullptr;
    bool mapDocked_ = false;
    int batchJobs_ = 0;
    // Buttons the running batch turned off, to turn on again.
    QList<QPushButton *> heldButtons_;
};

} // namespace pixplot
