// GTXT, NAME and KML files through the real window and the scripted dialogs,
// and real peers (gpsbabel, xmllint) reading what the window writes.
#include "common/folders.h"
#include "common/testsupport.h"
#include "common/textfile.h"
#include "formfixture.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>

using namespace trekport;
using common::DialogCall;

namespace {
const QString lineA = QStringLiteral("记录001| 自动| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
const QString lineB = QStringLiteral("记录002| 标记| 05月01日 07:59:59| N31°12.0345',E121°12.0000'");
const QString lineC = QStringLiteral("记录003| 自动| 03月01日 00:30:00| N31°59.9999',E121°00.0000'");
const QString longRecord = QStringLiteral("记录1234| 标记| 07月15日 05:00:00| N31°12.3456',E121°23.4567'");
const QString fiveDigits = QStringLiteral("记录65535| 自动| 01月01日 05:00:00| N31°12.10099',E121°23.4567'");
// Hand-edited: 57 characters whose pieces are not at their places; the
// pieces alone would make a line of 39.
const QString handEdited = QStringLiteral("记录1| 自动| 5月2日 1:2:3| N31°1.3',E121°2.4'  hand-edited note");

QByteArray gbk(const QStringList &lines)
{
    return common::joinLinesCrLf(lines, common::TextEncoding::Gbk);
}

QStringList listOf(const MainForm &f)
{
    QStringList lines;
    for (int i = 0; i < f.Lis->count(); ++i)
        lines << f.Lis->line(i);
    return lines;
}

QStringList fileLines(const QString &path, common::TextEncoding encoding)
{
    return common::splitLines(common::decodeText(testsupport::readAll(path), encoding));
}
} // namespace

class TestFiles : public QObject, FormFixture {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void saveThreePoints();
    void saveRefusedCancelAndEmptyList();
    void roundTripAppends();
    void loadLineLengths_data();
    void loadLineLengths();
    void loadLeavesOutOtherLines_data();
    void loadLeavesOutOtherLines();
    void loadUtf8AndLf();
    void loadTwiceListsTwice();
    void saveKeepsTextGbkCannotHold();
    void overwriteNoKeepsFile_data();
    void overwriteNoKeepsFile();
    void unwritablePathIsReported_data();
    void unwritablePathIsReported();
    void fifoIsNeitherReadNorReplaced_data();
    void fifoIsNeitherReadNorReplaced();
    void nameYearQuestion();
    void nameLeavesOutBrokenRows();
    void gpsbabelReadsName();
    void kmlMessageAndPeers();
    void kmlOnlyMarked();
    void kmlOnlyAutomatic();
    void nameDayBefore_data();
    void nameDayBefore();
    void kmlWithMarkupIsWellFormed();
    void yearAskedUntilAYear();
    void bareNameGetsSuffix_data();
    void bareNameGetsSuffix();
    void outputOverReadFile_data();
    void outputOverReadFile();
    void droppedFileIsRead();

private:
    std::unique_ptr<MainForm> formWith(const QStringList &lines);
};

void TestFiles::init()
{
    startFixture(QDateTime(QDate(2013, 6, 1), QTime(12, 0)));
}

void TestFiles::cleanup()
{
    finishFixture();
}

std::unique_ptr<MainForm> TestFiles::formWith(const QStringList &lines)
{
    auto f = newForm();
    if (!lines.isEmpty()) {
        const QString in = path(QStringLiteral("start.gtxt"));
        writeFile(in, gbk(lines));
        dialogs_->queueFile(in);
        QTest::mouseClick(f->inputxt, Qt::LeftButton);
        f->Timer1_Timer();
    }
    return f;
}

void TestFiles::saveThreePoints()
{
    auto f = formWith({lineA, lineB, lineC});
    QCOMPARE(f->Lis->count(), 3);
    const QString out = path(QStringLiteral("out.gtxt"));
    dialogs_->queueFile(out);
    const QString start = common::rememberedFolder(common::FolderKind::Tracks);
    QTest::mouseClick(f->outputxt, Qt::LeftButton);
    const DialogCall save = dialogs_->callsOf(DialogCall::SaveFile).value(0);
    QCOMPARE(save.title, QStringLiteral("保存GTXT轨迹数据文件"));
    QCOMPARE(save.filter, QStringLiteral("文本文件 (*.gtxt)|*.gtxt"));
    // Where track files went last, never beside the program.
    QCOMPARE(save.initialDir, start);
    QVERIFY(save.initialDir != QCoreApplication::applicationDirPath());
    QCOMPARE(common::rememberedFolder(common::FolderKind::Tracks), QFileInfo(out).absolutePath());
    const DialogCall info = dialogs_->callsOf(DialogCall::Info).value(0);
    QCOMPARE(info.text,
             QStringLiteral("GTXT轨迹数据文件已保存到\r\n") + out
                 + QStringLiteral("！\r\n\r\n共3个轨迹点。"));
    QCOMPARE(info.title, QStringLiteral("系统"));
    QCOMPARE(info.icon, common::MessageIcon::Information);
    const QByteArray bytes = testsupport::readAll(out);
    // GBK on disk: "记录" is BC C7 C2 BC, every line ends CR LF.
    QVERIFY(bytes.startsWith(QByteArray::fromHex("BCC7C2BC")));
    QCOMPARE(bytes, gbk({lineA, lineB, lineC}));
    QCOMPARE(bytes.count("\r\n"), 3);
}

void TestFiles::saveRefusedCancelAndEmptyList()
{
    auto f = formWith({});
    f->outputxt_Click();
    f->name_mk_Click();
    f->kml_mk_Click();
    QVERIFY(dialogs_->calls.isEmpty());
    auto g = formWith({lineA});
    dialogs_->calls.clear();
    dialogs_->queueCancel();
    QTest::mouseClick(g->outputxt, Qt::LeftButton);
    QCOMPARE(dialogs_->calls.size(), 1);
    QCOMPARE(QDir(dir_->path()).entryList({QStringLiteral("*.gtxt")}), QStringList{"start.gtxt"});
}

void TestFiles::roundTripAppends()
{
    const QStringList saved{lineA, lineB, longRecord, fiveDigits, handEdited.left(54)};
    auto first = formWith({lineA, lineB, longRecord, fiveDigits, handEdited});
    QCOMPARE(listOf(*first), saved);
    const QString out = path(QStringLiteral("round.gtxt"));
    dialogs_->queueFile(out);
    QTest::mouseClick(first->outputxt, Qt::LeftButton);

    auto second = formWith({lineC});
    dialogs_->queueFile(out);
    QTest::mouseClick(second->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*second), QStringList{lineC} + saved);
    QCOMPARE(second->Lis->currentRow(), saved.size());
    for (int i = 0; i < saved.size(); ++i)
        QCOMPARE(second->pointStore().at(i + 1), first->pointStore().at(i));
    QCOMPARE(second->pointStore().at(3)[ColRecord], QStringLiteral("1234"));
    QCOMPARE(second->pointStore().at(4)[ColLatMin], QStringLiteral("12.10099"));
    QCOMPARE(second->pointStore().at(4)[ColLonMin], QStringLiteral("23.4567"));
    const DialogCall open = dialogs_->callsOf(DialogCall::OpenFile).last();
    QCOMPARE(open.title, QStringLiteral("打开GTXT轨迹数据文件"));
    QCOMPARE(open.filter, QStringLiteral("轨迹数据文件(*.gtxt)|*.gtxt;*.txt"));
    QCOMPARE(open.initialDir, QFileInfo(path(QStringLiteral("x"))).absolutePath());
}

void TestFiles::loadLineLengths_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("54") << lineA << QStringList{lineA};
    QTest::newRow("60") << lineA + QStringLiteral("备注1234") << QStringList{lineA};
    QTest::newRow("53") << lineA.left(53) << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
}

void TestFiles::loadLineLengths()
{
    QFETCH(QString, line);
    QFETCH(QStringList, listed);
    auto f = formWith({line, lineB});
    QCOMPARE(listOf(*f), listed + QStringList{lineB});
    if (!listed.isEmpty()) {
        QCOMPARE(f->pointStore().at(0)[ColLonMin], QStringLiteral("23.4567"));
        QCOMPARE(f->pointStore().at(1)[ColRecord], QStringLiteral("002"));
    } else {
        QCOMPARE(f->pointStore().at(0)[ColRecord], QStringLiteral("002"));
    }
}

void TestFiles::loadLeavesOutOtherLines_data()
{
    const QString rmc = QStringLiteral("$GPRMC,022345,A,3112.3456,N,12123.4567,E,0.0,0.0,120526,,,A*6D");
    const QString gga = QStringLiteral("$GPGGA,022345,3112.3456,N,12123.4567,E,1,05,2.0,0.0,M,0.0,M,,*4B");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("info"); // empty: no message
    QTest::newRow("track only") << QStringList{lineA, lineB, QString()} << QStringList{lineA, lineB}
                                << QString();
    QTest::newRow("mixed") << QStringList{lineA, rmc, QString(), QStringLiteral("备注"), lineB}
                           << QStringList{lineA, lineB} << QStringLiteral("另有 2 行不是轨迹点，已忽略。");
    QTest::newRow("NAME file")
        << QStringList{rmc, gga, rmc, gga} << QStringList()
        << QStringLiteral("\r\n中没有轨迹点，未读取任何内容。\r\n\r\n另有 4 行不是轨迹点，已忽略。");
    QTest::newRow("empty file") << QStringList() << QStringList()
                                << QStringLiteral("\r\n中没有轨迹点，未读取任何内容。");
}

void TestFiles::loadLeavesOutOtherLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, listed);
    QFETCH(QString, info);
    const QString in = path(QStringLiteral("mixed.txt"));
    writeFile(in, gbk(lines));
    auto f = formWith({});
    dialogs_->queueFile(in);
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*f), listed);
    const QList<DialogCall> infos = dialogs_->callsOf(DialogCall::Info);
    QCOMPARE(infos.size(), info.isEmpty() ? 0 : 1);
    if (!info.isEmpty()) {
        QCOMPARE(infos.first().text, listed.isEmpty() ? in + info : info);
        QCOMPARE(infos.first().title, QStringLiteral("系统"));
    }
}

void TestFiles::loadUtf8AndLf()
{
    const QString in = path(QStringLiteral("utf8.txt"));
    writeFile(in, (lineA + QStringLiteral("\n") + lineB).toUtf8());
    auto f = formWith({});
    dialogs_->queueFile(in);
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*f), (QStringList{lineA, lineB}));
    dialogs_->queueFile(path(QStringLiteral("vanished.gtxt")));
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(f->Lis->count(), 2);
    dialogs_->queueCancel();
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(f->Lis->count(), 2);
    QVERIFY(dialogs_->callsOf(DialogCall::Info).isEmpty());
}

void TestFiles::loadTwiceListsTwice()
{
    auto f = formWith({lineA, lineB});
    dialogs_->queueFile(path(QStringLiteral("start.gtxt")));
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*f), (QStringList{lineA, lineB, lineA, lineB}));
    QCOMPARE(f->pointStore().at(3)[ColRecord], QStringLiteral("002"));
}

void TestFiles::saveKeepsTextGbkCannotHold()
{
    // A hand-edited UTF-8 file may hold text GBK has no bytes for.
    const QString odd = QStringLiteral("记录004| 한국| 05月12日 10:23:45| N31°12.3456',E121°23.4567'");
    const QString in = path(QStringLiteral("hand.txt"));
    writeFile(in, (lineA + QStringLiteral("\r\n") + odd + QStringLiteral("\r\n")).toUtf8());
    auto f = formWith({});
    dialogs_->queueFile(in);
    QTest::mouseClick(f->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*f), (QStringList{lineA, odd}));
    f->Timer1_Timer();
    const QString out = path(QStringLiteral("kept.gtxt"));
    dialogs_->queueFile(out);
    QTest::mouseClick(f->outputxt, Qt::LeftButton);
    QCOMPARE(dialogs_->lastInfo(),
             QStringLiteral("GTXT轨迹数据文件已保存到\r\n") + out
                 + QStringLiteral("！\r\n\r\n共2个轨迹点。"));

    auto g = formWith({});
    dialogs_->queueFile(out);
    QTest::mouseClick(g->inputxt, Qt::LeftButton);
    QCOMPARE(listOf(*g), (QStringList{lineA, odd}));
    QCOMPARE(g->pointStore().at(1)[ColKind], QStringLiteral("한국"));
}

void TestFiles::overwriteNoKeepsFile_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::newRow("gtxt") << "outputxt"
                          << "系统";
    QTest::newRow("name") << "name_mk"
                          << "系统";
    QTest::newRow("kml") << "kml_mk"
                         << "询问";
}

void TestFiles::overwriteNoKeepsFile()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    auto f = formWith({lineA});
    const QString out = path(QStringLiteral("existing.out"));
    const QByteArray old("old content\r\n\xff\x00 kept", 20);
    writeFile(out, old);
    dialogs_->queueFile(out);
    dialogs_->queueNo();
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    const DialogCall question = dialogs_->callsOf(DialogCall::YesNo).value(0);
    QCOMPARE(question.text, QStringLiteral("文件已经存在，是否覆盖文件？"));
    QCOMPARE(question.title, title);
    QCOMPARE(question.icon, common::MessageIcon::Question);
    QCOMPARE(testsupport::readAll(out), old);
    QVERIFY(dialogs_->callsOf(DialogCall::Info).isEmpty());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 3); // start.gtxt, SYS.ini, existing.out

    // Yes replaces it.
    dialogs_->queueFile(out);
    dialogs_->queueYes();
    if (button == QLatin1String("name_mk"))
        dialogs_->queueYes(); // the year question
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    QVERIFY(testsupport::readAll(out) != old);
}

void TestFiles::unwritablePathIsReported_data()
{
    overwriteNoKeepsFile_data();
}

void TestFiles::unwritablePathIsReported()
{
    QFETCH(QString, button);
    auto f = formWith({lineA});
    const QString out = path(QStringLiteral("no-such-folder/out.file"));
    dialogs_->queueFile(out);
    if (button == QLatin1String("name_mk"))
        dialogs_->queueYes();
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    const DialogCall info = dialogs_->callsOf(DialogCall::Info).value(0);
    QCOMPARE(info.text,
             QStringLiteral("文件无法写入：\r\n") + out
                 + QStringLiteral("\r\n原因：文件或文件夹不存在\r\n\r\n原有文件未改动。"));
    QCOMPARE(info.icon, common::MessageIcon::Information);
    QVERIFY(!QFile::exists(out));
}

void TestFiles::fifoIsNeitherReadNorReplaced_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("gtxt") << "outputxt";
    QTest::newRow("name") << "name_mk";
    QTest::newRow("kml") << "kml_mk";
    QTest::newRow("read") << "inputxt";
}

void TestFiles::fifoIsNeitherReadNorReplaced()
{
    QFETCH(QString, button);
    auto f = formWith({lineA});
    const QString fifo = path(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    dialogs_->queueFile(fifo);
    // Refused at once: no overwrite question, no year question, no blocking open.
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    QVERIFY(dialogs_->callsOf(DialogCall::YesNo).isEmpty());
    const bool reading = button == QLatin1String("inputxt");
    QCOMPARE(dialogs_->lastInfo(),
             (reading ? QStringLiteral("文件无法读取：\r\n") : QStringLiteral("文件无法写入：\r\n")) + fifo
                 + QStringLiteral("\r\n原因：") + (reading ? QString() : QStringLiteral("目标"))
                 + QStringLiteral("是管道（FIFO），不是普通文件")
                 + (reading ? QString() : QStringLiteral("\r\n\r\n原有文件未改动。")));
    QVERIFY(QFileInfo::exists(fifo) && !QFileInfo(fifo).isFile());
    QCOMPARE(f->Lis->count(), 1);
}

void TestFiles::nameYearQuestion()
{
    auto f = formWith({lineA, lineB, lineC});
    QCOMPARE(f->dataYear(), QStringLiteral("13"));
    const QString out = path(QStringLiteral("track.txt"));
    dialogs_->queueFile(out);
    dialogs_->queueNo();
    dialogs_->queueText(QStringLiteral("2011"));
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    const DialogCall save = dialogs_->callsOf(DialogCall::SaveFile).value(0);
    QCOMPARE(save.title, QStringLiteral("生成NAME文件"));
    QCOMPARE(save.filter, QStringLiteral("文本文件 (*.txt)|*.txt"));
    const DialogCall question = dialogs_->callsOf(DialogCall::YesNo).value(0);
    QCOMPARE(question.text, QStringLiteral("源文件是2013的GPS路径数据？"));
    QCOMPARE(question.title, QStringLiteral("系统"));
    const DialogCall input = dialogs_->callsOf(DialogCall::Input).value(0);
    QCOMPARE(input.text, QStringLiteral("输入GPS路径数据的年份(格式2010)："));
    QCOMPARE(input.title, QStringLiteral("更新数据年份"));
    QCOMPARE(dialogs_->lastInfo(), QStringLiteral("NAME文件已保存到\r\n") + out + QStringLiteral("！"));
    QCOMPARE(f->dataYear(), QStringLiteral("11"));
    const QStringList lines = fileLines(out, common::TextEncoding::Ascii);
    QCOMPARE(lines.size(), 6);
    for (int i = 0; i < 6; ++i)
        QVERIFY(lines[i].startsWith(i % 2 ? QStringLiteral("$GPGGA,") : QStringLiteral("$GPRMC,")));
    QCOMPARE(lines[0], QStringLiteral("$GPRMC,022345.000,A,3112.3456,N,12123.4567,E,0.00,,120511,,*1F"));
    QCOMPARE(lines[2].section(QLatin1Char(','), 9, 9), QStringLiteral("300411"));
    QCOMPARE(lines[2].section(QLatin1Char(','), 1, 1), QStringLiteral("235959.000"));
    QCOMPARE(lines[4].section(QLatin1Char(','), 9, 9), QStringLiteral("280211"));
    QVERIFY(testsupport::readAll(out).endsWith("\r\n"));

    // The next export asks about 2011; "9" leaves the year as it is.
    dialogs_->calls.clear();
    dialogs_->queueFile(out);
    dialogs_->queueYes();
    dialogs_->queueNo();
    dialogs_->queueText(QStringLiteral("9"));
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    QCOMPARE(dialogs_->callsOf(DialogCall::YesNo).value(1).text,
             QStringLiteral("源文件是2011的GPS路径数据？"));
    QCOMPARE(f->dataYear(), QStringLiteral("11"));
    QCOMPARE(fileLines(out, common::TextEncoding::Ascii), lines);
    // A cancelled box leaves it too.
    dialogs_->queueFile(out);
    dialogs_->queueYes();
    dialogs_->queueNo();
    dialogs_->queueCancel();
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    QCOMPARE(f->dataYear(), QStringLiteral("11"));
}

void TestFiles::nameLeavesOutBrokenRows()
{
    QString broken = lineA;
    broken.replace(18, 2, QStringLiteral("1x"));
    auto f = formWith({lineA, broken, lineB});
    QCOMPARE(f->Lis->count(), 3);
    const QString out = path(QStringLiteral("broken.txt"));
    dialogs_->queueFile(out);
    dialogs_->queueYes();
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    QCOMPARE(fileLines(out, common::TextEncoding::Ascii).size(), 4);
    QCOMPARE(dialogs_->lastInfo(),
             QStringLiteral("NAME文件已保存到\r\n") + out
                 + QStringLiteral("！\r\n\r\n有1个轨迹点的时间、日期或坐标不是数字，未写入。"));
}

namespace {
// gpsbabel's unicsv rows as "lat,lon,date,time".
QStringList gpsbabelPoints(const QString &nameFile, const QString &format)
{
    QByteArray csv, err;
    if (testsupport::runProgram(QStringLiteral("gpsbabel"),
                                {"-t", "-i", format, "-f", nameFile, "-o", "unicsv", "-F", "-"}, &csv, &err)
            != 0
        || !err.trimmed().isEmpty())
        return {QStringLiteral("gpsbabel failed: ") + QString::fromUtf8(err)};
    QStringList rows = QString::fromUtf8(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList header = rows.takeFirst().trimmed().split(QLatin1Char(','));
    const QList<int> at{int(header.indexOf("Latitude")), int(header.indexOf("Longitude")),
                        int(header.indexOf("Date")), int(header.indexOf("Time"))};
    QStringList points;
    for (const QString &row : rows) {
        const QStringList c = row.trimmed().split(QLatin1Char(','));
        points << QStringList({c.value(at[0]), c.value(at[1]), c.value(at[2]), c.value(at[3])})
                      .join(QLatin1Char(','));
    }
    return points;
}
} // namespace

void TestFiles::gpsbabelReadsName()
{
    if (!testsupport::hasProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed");
    auto f = formWith({fiveDigits, lineC, lineB, lineA, longRecord});
    const QString out = path(QStringLiteral("peer.txt"));
    dialogs_->queueFile(out);
    dialogs_->queueYes();
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    // Each $GPRMC on its own: the UTC time, date and position of every point.
    QCOMPARE(gpsbabelPoints(out, QStringLiteral("nmea,gpgga=0")),
             (QStringList{
                 "31.201683,121.390945,2012/12/31,21:00:00",
                 "31.999998,121.000000,2013/02/28,16:30:00",
                 "31.200575,121.200000,2013/04/30,23:59:59",
                 "31.205760,121.390945,2013/05/12,02:23:45",
                 "31.205760,121.390945,2013/07/14,21:00:00",
             }));

    // A real track, both sentences read: one point per fix, same UTC times,
    // no sentence rejected. (gpsbabel pairs a $GPGGA with the $GPRMC after
    // it, so merged positions are not compared here.)
    auto g = formWith({
        QStringLiteral("记录001| 自动| 05月12日 07:59:50| N31°12.3456',E121°23.4567'"),
        QStringLiteral("记录002| 标记| 05月12日 07:59:59| N31°12.0345',E121°12.0000'"),
        QStringLiteral("记录003| 自动| 05月12日 08:00:09| N31°59.9999',E121°00.0000'"),
        QStringLiteral("记录1234| 自动| 05月12日 08:00:19| N31°12.10099',E121°23.4567'"),
    });
    const QString track = path(QStringLiteral("track.txt"));
    dialogs_->queueFile(track);
    dialogs_->queueYes();
    QTest::mouseClick(g->name_mk, Qt::LeftButton);
    const QStringList both = gpsbabelPoints(track, QStringLiteral("nmea"));
    QCOMPARE(both.size(), 4);
    QStringList times;
    for (const QString &p : both)
        times << p.section(QLatin1Char(','), 2);
    QCOMPARE(times,
             (QStringList{"2013/05/11,23:59:50", "2013/05/11,23:59:59", "2013/05/12,00:00:09",
                          "2013/05/12,00:00:19"}));
}

void TestFiles::kmlMessageAndPeers()
{
    auto f = formWith({lineA, lineB, lineC});
    const QString out = path(QStringLiteral("track.kml"));
    dialogs_->queueFile(out);
    QTest::mouseClick(f->kml_mk, Qt::LeftButton);
    const DialogCall save = dialogs_->callsOf(DialogCall::SaveFile).value(0);
    QCOMPARE(save.title, QStringLiteral("生成KML文件"));
    QCOMPARE(save.filter, QStringLiteral("文本文件 (*.kml)|*.kml"));
    QCOMPARE(dialogs_->lastInfo(),
             QStringLiteral("KML文件已保存到\r\n") + out
                 + QStringLiteral("！\r\n\r\n共 1个标记点, 2个自动轨迹点。"));
    const QByteArray bytes = testsupport::readAll(out);
    QVERIFY(common::isValidUtf8(bytes));
    QVERIFY(bytes.contains("<description> 05/01 07:59:59 N31\xc2\xb0"
                           "12.0345',E121\xc2\xb0"
                           "12.0000'</description>\r\n"));
    QVERIFY(bytes.contains("<description>05/12 10:23:45 TO 03/01 00:30:00</description>\r\n"));
    QVERIFY(bytes.contains("\r\n      121,31.9999983333333,0\r\n"));
    if (testsupport::hasProgram(QStringLiteral("xmllint"))) {
        QByteArray err;
        QCOMPARE(testsupport::runProgram(QStringLiteral("xmllint"), {"--noout", out}, nullptr, &err), 0);
    }
    if (!testsupport::hasProgram(QStringLiteral("gpsbabel")))
        QSKIP("gpsbabel is not installed");
    QByteArray gpx;
    QCOMPARE(testsupport::runProgram(QStringLiteral("gpsbabel"),
                                     {"-w", "-t", "-i", "kml", "-f", out, "-o", "gpx", "-F", "-"}, &gpx),
             0);
    QCOMPARE(gpx.count("<wpt "), 1);
    QCOMPARE(gpx.count("<trkpt "), 2);
    QVERIFY(gpx.contains("<wpt lat=\"31.200575000\" lon=\"121.200000000\">"));
    QVERIFY(gpx.contains("<name>NO.002</name>"));
    QVERIFY(gpx.contains("<trkpt lat=\"31.999998333\" lon=\"121.000000000\">"));
}

void TestFiles::kmlOnlyMarked()
{
    auto f = formWith({lineB, longRecord});
    const QString out = path(QStringLiteral("marked.kml"));
    dialogs_->queueFile(out);
    QTest::mouseClick(f->kml_mk, Qt::LeftButton);
    QVERIFY(dialogs_->lastInfo().endsWith(QStringLiteral("共 2个标记点, 0个自动轨迹点。")));
    const QStringList lines = fileLines(out, common::TextEncoding::Utf8);
    QVERIFY(!lines.join(QString()).contains(QStringLiteral("<Style")));
    QVERIFY(lines.contains(QStringLiteral("    <name>NO.1234</name>")));
    QCOMPARE(lines.last(), QStringLiteral("</kml>"));
}

void TestFiles::kmlOnlyAutomatic()
{
    auto f = formWith({lineA, lineC});
    const QString out = path(QStringLiteral("auto.kml"));
    dialogs_->queueFile(out);
    QTest::mouseClick(f->kml_mk, Qt::LeftButton);
    QVERIFY(dialogs_->lastInfo().endsWith(QStringLiteral("共 0个标记点, 2个自动轨迹点。")));
    const QStringList lines = fileLines(out, common::TextEncoding::Utf8);
    QCOMPARE(lines.count(QStringLiteral("  <Placemark>")), 1);
    QVERIFY(lines.contains(QStringLiteral("<Style id=\"style0\"><LineStyle>")));
    QVERIFY(lines.contains(QStringLiteral("    <name>Auto Track</name>")));
    QVERIFY(lines.contains(QStringLiteral("      121.390945,31.20576,0")));
}

void TestFiles::nameDayBefore_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::newRow("07:59:59 1 May") << lineB << "2010"
                                    << "235959.000"
                                    << "300410";
    QTest::newRow("00:30 1 March 12")
        << QStringLiteral("记录003| 自动| 03月01日 00:30:00| N31°59.9999',E121°00.0000'") << "2012"
        << "163000.000"
        << "290212";
    QTest::newRow("00:30 1 March 13")
        << QStringLiteral("记录003| 自动| 03月01日 00:30:00| N31°59.9999',E121°00.0000'") << "13"
        << "163000.000"
        << "280213";
    QTest::newRow("08:00 same day") << QStringLiteral(
        "记录004| 自动| 03月01日 08:00:00| N31°59.9999',E121°00.0000'")
                                    << "13"
                                    << "000000.000"
                                    << "010313";
    QTest::newRow("05:00 15 July") << QStringLiteral(
        "记录005| 自动| 07月15日 05:00:00| N31°59.9999',E121°00.0000'")
                                   << "13"
                                   << "210000.000"
                                   << "140713";
    QTest::newRow("05:00 1 January") << QStringLiteral(
        "记录006| 自动| 01月01日 05:00:00| N31°59.9999',E121°00.0000'")
                                     << "2013"
                                     << "210000.000"
                                     << "311212";
}

void TestFiles::nameDayBefore()
{
    QFETCH(QString, line);
    QFETCH(QString, year);
    QFETCH(QString, time);
    QFETCH(QString, date);
    auto f = formWith({line});
    const QString out = path(QStringLiteral("day.txt"));
    dialogs_->queueFile(out);
    dialogs_->queueNo();
    dialogs_->queueText(year);
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    const QStringList lines = fileLines(out, common::TextEncoding::Ascii);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].section(QLatin1Char(','), 1, 1), time);
    QCOMPARE(lines[0].section(QLatin1Char(','), 9, 9), date);
    QCOMPARE(lines[1].section(QLatin1Char(','), 1, 1), time);
}

void TestFiles::kmlWithMarkupIsWellFormed()
{
    if (!testsupport::hasProgram(QStringLiteral("xmllint")))
        QSKIP("xmllint is not installed");
    QString odd = lineB;
    odd.replace(2, 3, QStringLiteral("<&>"));
    auto f = formWith({odd, lineA});
    QCOMPARE(f->Lis->count(), 2);
    const QString out = path(QStringLiteral("odd.kml"));
    dialogs_->queueFile(out);
    QTest::mouseClick(f->kml_mk, Qt::LeftButton);
    QByteArray err;
    QCOMPARE(testsupport::runProgram(QStringLiteral("xmllint"), {"--noout", out}, nullptr, &err), 0);
    QVERIFY(testsupport::readAll(out).contains("<name>NO.&lt;&amp;&gt;</name>"));

    // Control characters cannot be escaped at all.
    QString garbled = lineB;
    garbled.replace(2, 3, QStringLiteral("0\x01\x1a"));
    auto g = formWith({garbled});
    QCOMPARE(g->Lis->count(), 1);
    const QString out2 = path(QStringLiteral("garbled.kml"));
    dialogs_->queueFile(out2);
    QTest::mouseClick(g->kml_mk, Qt::LeftButton);
    QCOMPARE(testsupport::runProgram(QStringLiteral("xmllint"), {"--noout", out2}, nullptr, &err), 0);
    QVERIFY(testsupport::readAll(out2).contains("<name>NO.0\xef\xbf\xbd\xef\xbf\xbd</name>"));
}

void TestFiles::yearAskedUntilAYear()
{
    auto f = formWith({lineA});
    const QString out = path(QStringLiteral("y.txt"));
    dialogs_->queueFile(out);
    dialogs_->queueNo();
    for (const char *answer : {"abc", "20x0", "201", "2011"})
        dialogs_->queueText(QLatin1String(answer));
    QTest::mouseClick(f->name_mk, Qt::LeftButton);
    QCOMPARE(dialogs_->callsOf(DialogCall::Input).size(), 4);
    QCOMPARE(f->dataYear(), QStringLiteral("11"));
    QVERIFY(fileLines(out, common::TextEncoding::Ascii).value(0).contains(QStringLiteral(",120511,")));
}

void TestFiles::bareNameGetsSuffix_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("KML bare") << "kml_mk"
                              << "trip_track"
                              << "trip_track.kml";
    QTest::newRow("GPX bare") << "gpx_mk"
                              << "trip_track"
                              << "trip_track.gpx";
    QTest::newRow("NAME bare") << "name_mk"
                               << "trip_track"
                               << "trip_track.txt";
    QTest::newRow("GTXT bare") << "outputxt"
                               << "trip_track"
                               << "trip_track.gtxt";
    QTest::newRow("own suffix kept") << "kml_mk"
                                     << "trip.xml"
                                     << "trip.xml";
}

void TestFiles::bareNameGetsSuffix()
{
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    auto f = formWith({lineA, lineB});
    dialogs_->queueFile(path(typed));
    if (button == QLatin1String("name_mk") || button == QLatin1String("gpx_mk"))
        dialogs_->queueYes(); // the year question
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    QVERIFY(QFile::exists(path(written)));
    QVERIFY(dialogs_->lastInfo().contains(path(written) + QStringLiteral("！")));
    if (typed != written)
        QVERIFY(!QFile::exists(path(typed)));
}

void TestFiles::outputOverReadFile_data()
{
    QTest::addColumn<QStringList>("read"); // the lines of the file read
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("cleared"); // "清空" before the export
    QTest::addColumn<bool>("refused");
    const QStringList whole{lineA, lineB};
    const QStringList withNote{lineA, QStringLiteral("a note"), lineB};
    const QStringList cut{lineA + QStringLiteral(" trailing words")};
    QTest::newRow("KML over it") << whole << "kml_mk" << false << true;
    QTest::newRow("NAME over it") << whole << "name_mk" << false << true;
    QTest::newRow("GPX over it") << whole << "gpx_mk" << false << true;
    QTest::newRow("GTXT of the whole file") << whole << "outputxt" << false << false;
    QTest::newRow("GTXT without its note") << withNote << "outputxt" << false << true;
    QTest::newRow("GTXT of cut lines") << cut << "outputxt" << false << true;
    QTest::newRow("no longer its source") << whole << "kml_mk" << true << false;
}

void TestFiles::outputOverReadFile()
{
    QFETCH(QStringList, read);
    QFETCH(QString, button);
    QFETCH(bool, cleared);
    QFETCH(bool, refused);
    auto f = formWith(read);
    const QString in = path(QStringLiteral("start.gtxt"));
    const QByteArray before = testsupport::readAll(in);
    if (cleared) {
        QTest::mouseClick(f->cleardata, Qt::LeftButton);
        writeFile(path(QStringLiteral("other.gtxt")), gbk({lineC}));
        dialogs_->queueFile(path(QStringLiteral("other.gtxt")));
        QTest::mouseClick(f->inputxt, Qt::LeftButton);
    }
    // Through a link, so only the file's identity tells.
    const QString link = path(QStringLiteral("link.gtxt"));
    QVERIFY(QFile::link(in, link));
    dialogs_->queueFile(link);
    if (!refused) {
        dialogs_->queueYes(); // replace it
        if (button == QLatin1String("name_mk") || button == QLatin1String("gpx_mk"))
            dialogs_->queueYes();
    }
    QTest::mouseClick(f->findChild<QPushButton *>(button), Qt::LeftButton);
    if (refused) {
        QCOMPARE(dialogs_->lastInfo(),
                 QStringLiteral("不能写入：\r\n") + link
                     + QStringLiteral("\r\n它是列表中轨迹点读取自的文件，写入会丢失其中的数据。"));
        QCOMPARE(testsupport::readAll(in), before);
        QVERIFY(dialogs_->callsOf(DialogCall::YesNo).isEmpty());
    } else {
        QVERIFY(dialogs_->lastInfo().contains(QStringLiteral("已保存到\r\n") + link));
        if (button == QLatin1String("outputxt"))
            QCOMPARE(testsupport::readAll(in), before);
        else
            QVERIFY(testsupport::readAll(in).startsWith("<?xml"));
    }
}

void TestFiles::droppedFileIsRead()
{
    auto f = newForm();
    f->show();
    const QString in = path(QStringLiteral("dropped.gtxt"));
    writeFile(in, gbk({lineA, lineB, lineC}));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(in)});
    QWidget *target = f->Lis->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(listOf(*f), (QStringList{lineA, lineB, lineC}));
    QCOMPARE(f->statusLines().last(), QStringLiteral("已读取") + in + QStringLiteral("，共3个轨迹点。"));
    // Text that is no file is not taken.
    QMimeData words;
    words.setText(QStringLiteral("记录"));
    QDragEnterEvent other(QPoint(20, 20), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &other);
    QVERIFY(!other.isAccepted());
}

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
