#include "common/dialogs.h"
#include "common/timezone.h"

#include <QComboBox>
#include <QFileInfo>

namespace common {

Dialogs::~Dialogs() = default;

bool confirmOverwrite(Dialogs &dialogs, QWidget *parent, const QString &path, const QString &title)
{
    return !QFileInfo::exists(path)
        || dialogs.askYesNo(parent, QStringLiteral("文件已经存在，是否覆盖文件？"), title,
                            MessageIcon::Question);
}

std::optional<TimeZoneSetting> zoneFromBox(Dialogs &dialogs, QWidget *parent, QComboBox *box,
                                           const TimeZoneSetting &current, const QString &title)
{
    const QString text = box->currentText();
    const auto zone = TimeZoneSetting::parse(text);
    if (!zone) {
        box->setCurrentText(current.text());
        dialogs.inform(parent, TimeZoneSetting::invalidMessage(text), title, MessageIcon::Warning);
    }
    return zone;
}

QString toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts.at(i + 1).split(u';', Qt::SkipEmptyParts)) {
            for (const QString &v : {p, p.toLower(), p.toUpper()})
                if (!patterns.contains(v))
                    patterns.append(v);
        }
        QString desc = parts.at(i);
        // A description that already shows its patterns in brackets would
        // confuse Qt's parser; keep only the text before them.
        const qsizetype bracket = desc.indexOf(u'(');
        if (bracket > 0)
            desc = desc.left(bracket).trimmed();
        out.append(desc + QLatin1String(" (") + patterns.join(u' ') + u')');
    }
    if (out.isEmpty() && !filter.isEmpty())
        return filter;
    return out.join(QLatin1String(";;"));
}

} // namespace common
