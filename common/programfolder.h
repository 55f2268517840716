#pragma once
// The folder the running program lives in (initial folder of file dialogs).
#include <QString>

namespace common {

QString programFolder();

} // namespace common
