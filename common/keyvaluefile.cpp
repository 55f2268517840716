#include "common/keyvaluefile.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace common {

namespace {

// A preference file is small; anything larger is not one of ours.
constexpr qint64 kMaxBytes = 1 << 20;

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

// QSettings quotes a value holding a comma or a leading space.
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

KeyValues readKeyValues(const QString &file)
{
    KeyValues values;
    QFile f(file);
    if (!checkInputFile(file) || f.size() > kMaxBytes || !f.open(QIODevice::ReadOnly))
        return values;
    QString group;
    const QStringList lines = QString::fromUtf8(f.read(kMaxBytes)).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = line.mid(1, line.size() - 2);
            group = name.isEmpty() || name == QLatin1String("General") ? QString() : name + QLatin1Char('/');
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.append({group + line.left(eq).trimmed(), unquoted(line.mid(eq + 1).trimmed())});
    }
    return values;
}

QString keyValue(const KeyValues &values, const QString &key, const QString &fallback)
{
    for (const auto &[k, v] : values)
        if (k == key)
            return v;
    return fallback;
}

bool writeKeyValues(const QString &file, const KeyValues &values, QString *error)
{
    QString text;
    QString group;
    for (const auto &[key, value] : values) {
        const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
        const QString keyGroup = slash > 0 ? key.left(slash) : QString();
        if (keyGroup != group) {
            text += QStringLiteral("[%1]\n").arg(keyGroup.isEmpty() ? QStringLiteral("General") : keyGroup);
            group = keyGroup;
        }
        text += oneLine(key.mid(slash + 1)) + QLatin1Char('=') + oneLine(value) + QLatin1Char('\n');
    }
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("无法建立文件夹 %1").arg(folder);
        return false;
    }
    return writeFileAtomically(file, text.toUtf8(), error);
}

bool storeKeyValue(const QString &file, const QString &key, const QString &value, QString *error)
{
    const KeyValues before = readKeyValues(file);
    KeyValues values;
    bool stored = false;
    for (const auto &line : before) {
        if (line.first != key)
            values.append(line);
        else if (!stored)
            values.append({key, oneLine(value)}), stored = true;
    }
    if (!stored) {
        // After the other keys of its group, so the group keeps one heading.
        const auto groupOf = [](const QString &k) { return k.left(std::max<qsizetype>(0, k.lastIndexOf(QLatin1Char('/')) + 1)); };
        qsizetype at = values.size();
        for (qsizetype i = values.size() - 1; i >= 0; --i) {
            if (groupOf(values[i].first) == groupOf(key)) {
                at = i + 1;
                break;
            }
        }
        values.insert(at, {key, oneLine(value)});
    }
    return values == before || writeKeyValues(file, values, error);
}

} // namespace common
