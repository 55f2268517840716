// The three programs' --help in one layout, described in Chinese, and the
// hint a mistyped option gets, read from the built programs themselves.
#include "common/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestHelpLayout : public QObject {
    Q_OBJECT
    QTemporaryDir runtime_;
private Q_SLOTS:
    void initTestCase()
    {
        // Without it Qt warns on stderr, which must hold our texts alone.
        if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
    }
    void help_data();
    void help();
    void misspelledOption_data();
    void misspelledOption();
};

namespace {

bool hasChinese(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

} // namespace

void TestHelpLayout::help_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("option"); // one line of its Options block
    QTest::newRow("trekport") << "trekport"
                              << "  --port <P>";
    QTest::newRow("pixplot") << "pixplot"
                             << "  --path <FILE>";
    QTest::newRow("areagrab") << "areagrab"
                              << "  --rect <X,Y,W,H>";
}

void TestHelpLayout::help()
{
    QFETCH(QString, name);
    QFETCH(QString, option);
    QByteArray out, err;
    QCOMPARE(testsupport::runProgram(testsupport::builtProgram(name), {QStringLiteral("--help")}, &out, &err),
             0);
    QVERIFY2(err.isEmpty(), err.constData());
    const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
    // "Usage: NAME ..." lines with the bare name, a summary in Chinese,
    // an empty line and "Options:".
    const QString usage = QStringLiteral("Usage: ") + name + QLatin1Char(' ');
    qsizetype summaryAt = 0;
    while (summaryAt < lines.size() && lines.at(summaryAt).startsWith(usage))
        ++summaryAt;
    QVERIFY(summaryAt > 0);
    QVERIFY2(hasChinese(lines.value(summaryAt)), qPrintable(lines.value(summaryAt)));
    const qsizetype optionsAt = lines.indexOf(QStringLiteral("Options:"));
    QVERIFY(optionsAt > summaryAt + 1);
    QVERIFY(lines.at(optionsAt - 1).isEmpty());
    QVERIFY(lines.mid(summaryAt).filter(QStringLiteral("Usage:")).isEmpty());
    const QStringList optionLines =
        lines.mid(optionsAt + 1).filter(QRegularExpression(QStringLiteral("^  -")));
    QCOMPARE(optionLines.size(),
             lines.mid(optionsAt + 1).filter(QRegularExpression(QStringLiteral("\\S"))).size());
    QVERIFY(optionLines.constFirst().startsWith(QStringLiteral("  -?, -h, --help  ")));
    QVERIFY(optionLines.constFirst().endsWith(QStringLiteral("显示本帮助。")));
    QVERIFY2(!optionLines.filter(option + QLatin1Char(' ')).isEmpty(), qPrintable(option));
    // Every description in Chinese, all starting in one column.
    static const QRegularExpression gap(QStringLiteral("^  \\S.*?  +(?=\\S)"));
    const qsizetype column = gap.match(optionLines.constFirst()).capturedLength();
    for (const QString &line : optionLines) {
        QCOMPARE(gap.match(line).capturedLength(), column);
        QVERIFY2(hasChinese(line.mid(column)), qPrintable(line));
    }
}

void TestHelpLayout::misspelledOption_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("trekport") << "trekport" << QStringList{"--imprt", "a.gtxt"}
                              << "未知选项：--imprt（是否指 --import？）\n";
    QTest::newRow("pixplot") << "pixplot" << QStringList{"--process", "--write-gsp", "a.jpg"}
                             << "未知选项：--write-gsp（是否指 --write-gps？）\n";
    QTest::newRow("areagrab") << "areagrab" << QStringList{"--ful", "a.jpg"}
                              << "未知选项：--ful（是否指 --full？）\n";
}

void TestHelpLayout::misspelledOption()
{
    QFETCH(QString, name);
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QByteArray out, err;
    QCOMPARE(testsupport::runProgram(testsupport::builtProgram(name), args, &out, &err), 2);
    QCOMPARE(QString::fromUtf8(err), message);
    QVERIFY(out.isEmpty());
}

QTEST_GUILESS_MAIN(TestHelpLayout)
#include "tst_helplayout.moc"
