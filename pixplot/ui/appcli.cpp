#include "ui/appcli.h"

#include <QApplication>
#include <QLabel>

namespace pixplot {

void addAppOptions(QCommandLineParser &) {}

std::optional<int> runAppOptions(const QCommandLineParser &) { return std::nullopt; }

int showMainWindow(QApplication &app)
{
    QLabel placeholder(QStringLiteral("坐标 --> 照片"));
    placeholder.setWindowTitle(QStringLiteral("坐标 --> 照片"));
    placeholder.show();
    return app.exec();
}

} // namespace pixplot
