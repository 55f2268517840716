#pragma once
// Small preference files of "key=value" lines, read and rewritten whole
// through the safe writer. A "[group]" line puts the keys after it into
// group ("group/key"); files written by QSettings read the same way.
#include <QList>
#include <QString>

#include <utility>

namespace common {

// In file order; a key may stand more than once (a list).
using KeyValues = QList<std::pair<QString, QString>>;

// What file holds; nothing when it is missing, unreadable or not a small
// regular file.
KeyValues readKeyValues(const QString &file);
// The first value of key, or fallback.
QString keyValue(const KeyValues &values, const QString &key, const QString &fallback = QString());
// Writes values in their order (a line break inside one becomes a space),
// making the folder when needed.
bool writeKeyValues(const QString &file, const KeyValues &values, QString *error = nullptr);
// Sets key to value in file, keeping every other line; writes only on a change.
bool storeKeyValue(const QString &file, const QString &key, const QString &value,
                   QString *error = nullptr);

} // namespace common
