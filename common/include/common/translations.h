#pragma once
// Qt's own texts (file dialogs, Yes/No/OK/Cancel) in Simplified Chinese, so
// the whole interface speaks one language.
class QCoreApplication;

namespace common {

// Installs qtbase_zh_CN.qm from Qt's translations folder into app. False
// when the file is missing (Qt's texts stay English).
bool loadQtTranslations(QCoreApplication &app);

} // namespace common
