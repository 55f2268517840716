#pragma once
// The one "关于" box of the three programs: version, licence, homepage and
// the libraries each is built on, with their licences.
#include <QList>
#include <QString>

class QWidget;

namespace common {

enum class Library { Qt, Exiv2, Leaflet, LibJpegTurbo, LibHeif, Tesseract };

struct LibraryNote {
    QString name;
    QString licence;
    QString homepage;
};
LibraryNote libraryNote(Library library);

struct AboutInfo {
    QString program; // "pixplot"
    QString summary; // one line, what the program is for
    QList<Library> libraries;
};

QString suiteVersion();
QString suiteHomepage();

// The box's text as rich text: program and version, summary, the suite's
// licence and homepage, then one line a library with its licence.
QString aboutText(const AboutInfo &info);

// Shows the box (object name "about", not modal) and returns it; it goes
// away when closed.
QWidget *showAbout(QWidget *parent, const AboutInfo &info);

} // namespace common
