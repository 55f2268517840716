#include "common/consoletext.h"

#include <QByteArray>
#include <QRegularExpression>

#include <algorithm>

namespace common {

void printLine(FILE *stream, const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString helpText(const QString &program, const QStringList &synopses, const QString &summary,
                 const QList<QCommandLineOption> &options)
{
    QString text;
    for (const QString &synopsis : synopses)
        text += QStringLiteral("Usage: ") + program + QLatin1Char(' ') + synopsis + QLatin1Char('\n');
    text += summary + QStringLiteral("\n\nOptions:\n");
    QStringList heads;
    qsizetype width = 0;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
        width = std::max(width, head.size());
        heads << head;
    }
    for (qsizetype i = 0; i < options.size(); ++i)
        text += heads.at(i).leftJustified(width + 2) + options.at(i).description() + QLatin1Char('\n');
    return text;
}

QString usageErrorText(const QString &parserError, const QStringList &unknownOptions)
{
    const auto dashed = [](const QString &name) {
        return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    };
    if (!unknownOptions.isEmpty()) {
        QStringList names;
        for (const QString &name : unknownOptions)
            names << dashed(name);
        return QStringLiteral("未知选项：") + names.join(QStringLiteral("、"));
    }
    // Qt's English texts name the option in quotes, with its dashes.
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    const QString option = quoted.match(parserError).captured(1);
    if (parserError.startsWith(QLatin1String("Missing value")))
        return QStringLiteral("选项 %1 缺少值").arg(option);
    if (parserError.startsWith(QLatin1String("Unexpected value")))
        return QStringLiteral("选项 %1 不带值").arg(option);
    return parserError;
}

QString overwriteRefusal(const QString &path)
{
    return QStringLiteral("文件已经存在：%1（加 --overwrite 覆盖）").arg(path);
}

} // namespace common
