#pragma once
// The conversion window: writes the loaded path as KML or as an HTML map page.
#include <QWidget>

namespace common { class Dialogs; }

class NMEAF : public QWidget {
    Q_OBJECT
public:
    explicit NMEAF(common::Dialogs &dialogs, QWidget *owner = nullptr);

private:
    common::Dialogs &dialogs_;
};
