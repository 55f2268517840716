#include "common/consoletext.h"

#include <QRegularExpression>

#include <algorithm>

namespace common {

QString consoleLines(QString message)
{
    return message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString consoleOneLine(QString message)
{
    return message.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "))
        .replace(QStringLiteral("\r\n"), QStringLiteral(" "));
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

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("?"), QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("显示本帮助。"));
}

namespace {

// Edits between a and b, a swap of neighbours counting as one.
qsizetype editDistance(const QString &a, const QString &b)
{
    const qsizetype n = a.size(), m = b.size();
    QList<QList<qsizetype>> d(n + 1, QList<qsizetype>(m + 1, 0));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = i;
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = j;
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const qsizetype cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

QString closestOptionName(const QString &name, const QList<QCommandLineOption> &known)
{
    if (name.size() < 2)
        return {};
    // Short names are too close to everything to be a useful hint.
    const qsizetype allowed = std::max<qsizetype>(1, name.size() / 3);
    QString best;
    qsizetype bestDistance = allowed + 1;
    QStringList starting;
    for (const QCommandLineOption &option : known) {
        for (const QString &candidate : option.names()) {
            if (candidate.size() < 2 || candidate == name)
                continue;
            const qsizetype distance = editDistance(name, candidate);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate;
            }
            if (name.size() >= 3 && candidate.startsWith(name))
                starting << candidate;
        }
    }
    if (best.isEmpty() && starting.size() == 1)
        best = starting.constFirst();
    return best;
}

QString usageErrorText(const QString &parserError, const QStringList &unknownOptions,
                       const QList<QCommandLineOption> &known)
{
    if (!unknownOptions.isEmpty()) {
        QStringList names;
        for (const QString &name : unknownOptions) {
            const QString hint = closestOptionName(name, known);
            names << dashed(name)
                    + (hint.isEmpty() ? QString() : QStringLiteral("（是否指 %1？）").arg(dashed(hint)));
        }
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
