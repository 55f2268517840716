#include "ui/nmeaf.h"

NMEAF::NMEAF(common::Dialogs &dialogs, QWidget *owner)
    : QWidget(owner, Qt::Tool), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("NMEA to HTML/KML"));
}
