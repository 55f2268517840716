#include "ui/pumpwait.h"

#include <QEventLoop>
#include <QTimer>

namespace areagrab {

void pumpWait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace areagrab
