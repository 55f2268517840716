#pragma once
// The track the window and the command line work on: the point store and
// the list over it, the logger link that fills it, the year and the zone the
// NAME and GPX times need, reading GTXT files and writing every output.
#include "loggerlink.h"
#include "tracklistmodel.h"

#include "common/timezone.h"

#include <QObject>

namespace trekport {

enum class TrackFormat { Gtxt, Name, Kml, Gpx };

struct LoadOutcome {
    bool read = false; // the file could be read (else error says why)
    QString error;
    int kept = 0;    // points listed
    int ignored = 0; // non-blank lines that are not list lines
};

struct ExportOutcome {
    bool written = false;
    QString error;      // the system's reason when not written
    int points = 0;     // points in the file
    int marked = 0;     // KML and GPX: marked points written
    int other = 0;      // KML: rows not marked; GPX: automatic points
    int notNumbers = 0; // rows left out: a time, date or position cell is not a number
    int impossible = 0; // rows left out: a position that cannot exist
};

class TrackSession : public QObject {
    Q_OBJECT
public:
    explicit TrackSession(QObject *parent = nullptr);

    const PointStore &store() const { return store_; }
    TrackListModel &listModel() { return listModel_; }
    int count() const { return listModel_.count(); }
    QString line(int row) const { return store_.line(row); }
    LoggerLink &link() { return link_; }

    // Two digits, "26" for 2026.
    QString dataYear() const { return dataYear_; }
    void setDataYear(const QString &twoDigits) { dataYear_ = twoDigits; }
    const common::TimeZoneSetting &zone() const { return zone_; }
    void setZone(const common::TimeZoneSetting &zone) { zone_ = zone; }

    // Empties the list; the files read before are no longer its source.
    void clear();
    // Reads a GTXT file and lists its points after those listed.
    LoadOutcome importGtxt(const QString &path);

    // Why writing `format` to path would lose data the list was read from
    // (a file read into it, unless a GTXT file that the list holds whole);
    // empty when it may be written.
    QString outputRefusal(TrackFormat format, const QString &path) const;
    // Writes the listed points to path (asked nothing: the caller decided).
    ExportOutcome exportTo(TrackFormat format, const QString &path);

Q_SIGNALS:
    // n more points are listed (read or received).
    void pointsAppended(int n);

private:
    struct Source {
        QString path;
        bool whole; // every line of it is listed, unchanged
    };

    PointStore store_;
    TrackListModel listModel_{store_};
    LoggerLink link_;
    QString dataYear_;
    common::TimeZoneSetting zone_;
    QList<Source> sources_;
};

// The window's message after a write (savedMessage for the format or the
// failure with its reason).
QString exportMessage(TrackFormat format, const QString &path, const ExportOutcome &outcome);
// The command line's one line for the same.
QString exportConsoleLine(TrackFormat format, const QString &path, const ExportOutcome &outcome);

} // namespace trekport
