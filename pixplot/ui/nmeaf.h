#pragma once
// The conversion window: writes the path the session holds as KML, as an
// HTML page, as a map page with the placed photos or as GPX, beside the path
// file. It reads the session at each press, so it always converts the path
// the main window shows.
#include "core/nmeaconvert.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace common {
class Dialogs;
}

namespace pixplot {

class PhotoSession;

class NMEAF : public QWidget {
    Q_OBJECT
public:
    NMEAF(common::Dialogs &dialogs, const PhotoSession &session, QWidget *owner = nullptr);

    // Upper half: KML.
    QGroupBox *Frame1 = nullptr;
    QPushButton *cmd_kml = nullptr;
    QLabel *Label1 = nullptr;
    // Lower half: HTML page.
    QGroupBox *Frame2 = nullptr;
    QPushButton *nmea2html = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *cmd_cnone = nullptr;
    QPushButton *cmd_cdt = nullptr;
    QPushButton *cmd_cst = nullptr;
    // Offsets in decimal degrees: 0/1 latitude/longitude for KML, 2/3 for
    // the page (objectNames lxz_0 .. lxz_3).
    std::array<QLineEdit *, 4> lxz{};
    // Bottom: the map page with the placed photos.
    QGroupBox *Frame3 = nullptr;
    QPushButton *nmea2map = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txt_tiles = nullptr; // tile URL template, or none

    // Below: the path as a GPX file.
    QGroupBox *Frame4 = nullptr;
    QPushButton *cmd_gpx = nullptr;

public slots:
    void cmd_kml_Click();
    void nmea2html_Click();
    void cmd_cnone_Click();
    void cmd_cdt_Click();
    void cmd_cst_Click();
    void nmea2map_Click();
    void cmd_gpx_Click();

private:
    void buildFrames();
    // A frame with its conversion button at the left of its first row.
    void makeFrame(QGroupBox *&frame, const char *name, const QString &title, int top, int height,
                   QPushButton *&button, const char *buttonName, const QString &text);
    // The offset label of a frame and its two boxes, firstBox and the next.
    void makeOffsetRow(QGroupBox *frame, QLabel *&label, const char *name, int firstBox);
    void fitFonts();
    void setTabChain();
    void connectButtons();
    using Document = QByteArray (*)(const nmeaconvert::PathInput &, const nmeaconvert::Offsets &);
    // Writes the path as document, moved by the offsets in boxes firstBox
    // and the next, to the file fileNameOf names beside the path file.
    void
    convertPath(QString (*fileNameOf)(const QString &), int firstBox, Document document,
                const std::function<QString(const QString &, const nmeaconvert::PathInput &)> &savedMessage);
    // The number in box index, or nullopt after telling the user.
    std::optional<double> offsetFromBox(int index);
    // The latitude offset in box index and the longitude offset in the next.
    std::optional<nmeaconvert::Offsets> offsetsFromBoxes(int index);
    // Tells the user savedMessage, or why fileName could not be written.
    void reportWrite(const QString &fileName, bool written, const QString &error,
                     const QString &savedMessage);
    // Asks before replacing an existing file; true when writing may go on.
    // inputs: files the output is made from besides the path file, which
    // it may not replace either.
    bool mayWrite(const QString &fileName, const QStringList &inputs = {});
    bool havePath();

    common::Dialogs &dialogs_;
    const PhotoSession &session_;
};

} // namespace pixplot
