// Date-time texts, number texts, NMEA angles, RMC sentences and position texts.
#include "common/clock.h"
#include "core/datetimetext.h"
#include "core/nmeasentence.h"
#include "core/outputfiles.h"

#include <QtTest>

#include <ctime>

using pixplot::DateTimeParts;
using pixplot::GeoPoint;
using pixplot::PathPoint;

using namespace pixplot::systemfinction;

class TestSystemFinction : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void parseDateTimeText_data();
    void parseDateTimeText();
    void formatDateTimeParts_data();
    void formatDateTimeParts();
    void shiftDateTimeText_data();
    void shiftDateTimeText();
    void secondsBetween_data();
    void secondsBetween();
    void indentSpaces_data();
    void indentSpaces();
    void numberText_data();
    void numberText();
    void coordinateFragments_data();
    void coordinateFragments();
    void timeStampText_data();
    void timeStampText();
    void formatNmeaAngle_data();
    void formatNmeaAngle();
    void parseRmcSentence_data();
    void parseRmcSentence();
    void parsePositionText_data();
    void parsePositionText();
};

void TestSystemFinction::initTestCase()
{
    // A zone with a daylight-saving jump: calendar arithmetic must not see it.
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestSystemFinction::cleanup()
{
    common::clock::clearFixed();
}

void TestSystemFinction::parseDateTimeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("parts");
    QTest::newRow("padded") << "2010-05-01 04:03:02" << true << QList<int>{2010, 5, 1, 4, 3, 2};
    QTest::newRow("unpadded") << "2010-5-1 4:3:2" << true << QList<int>{2010, 5, 1, 4, 3, 2};
    QTest::newRow("leap day 2012") << "2012-02-29 23:59:59" << true << QList<int>{2012, 2, 29, 23, 59, 59};
    QTest::newRow("leap day 2000") << "2000-02-29 00:00:00" << true << QList<int>{2000, 2, 29, 0, 0, 0};
    QTest::newRow("no leap day 2011") << "2011-02-29 00:00:00" << false << QList<int>{};
    QTest::newRow("no leap day 1900") << "1900-02-29 00:00:00" << false << QList<int>{};
    QTest::newRow("day 31 of April") << "2010-04-31 00:00:00" << false << QList<int>{};
    QTest::newRow("month 13") << "2010-13-01 00:00:00" << false << QList<int>{};
    QTest::newRow("hour 24") << "2010-05-01 24:00:00" << false << QList<int>{};
    QTest::newRow("minute 60") << "2010-05-01 12:60:00" << false << QList<int>{};
    QTest::newRow("year 0") << "0000-00-00 00:00:00" << false << QList<int>{};
    QTest::newRow("date only") << "2010-05-01" << false << QList<int>{};
    QTest::newRow("EXIF colons") << "2010:05:01 04:03:02" << false << QList<int>{};
    QTest::newRow("letters") << "2010-05-0x 04:03:02" << false << QList<int>{};
    QTest::newRow("blank") << "" << false << QList<int>{};
}

void TestSystemFinction::parseDateTimeText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QList<int>, parts);
    const auto p = ParseDateTimeText(text);
    QCOMPARE(p.has_value(), valid);
    if (valid)
        QCOMPARE((QList<int>{p->year, p->month, p->day, p->hour, p->minute, p->second}), parts);
}

void TestSystemFinction::formatDateTimeParts_data()
{
    QTest::addColumn<QList<int>>("parts");
    QTest::addColumn<QString>("text");
    QTest::newRow("single digits") << QList<int>{2010, 5, 1, 4, 3, 2} << "2010-05-01 04:03:02";
    QTest::newRow("new year") << QList<int>{2011, 1, 1, 7, 59, 59} << "2011-01-01 07:59:59";
    QTest::newRow("midnight") << QList<int>{2010, 5, 2, 0, 0, 0} << "2010-05-02 00:00:00";
    QTest::newRow("short year") << QList<int>{987, 12, 31, 23, 59, 59} << "0987-12-31 23:59:59";
}

void TestSystemFinction::formatDateTimeParts()
{
    QFETCH(QList<int>, parts);
    QFETCH(QString, text);
    DateTimeParts p;
    p.year = parts[0];
    p.month = parts[1];
    p.day = parts[2];
    p.hour = parts[3];
    p.minute = parts[4];
    p.second = parts[5];
    QCOMPARE(FormatDateTimeParts(p), text);
}

void TestSystemFinction::shiftDateTimeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QString>("result");
    QTest::newRow("into new year") << "2010-12-31 23:30:00"
                                   << "01:00:00" << false << "2011-01-01 00:30:00";
    QTest::newRow("back an hour") << "2010-12-31 23:30:00"
                                  << "01:00:00" << true << "2010-12-31 22:30:00";
    QTest::newRow("onto leap day") << "2012-02-28 20:00:00"
                                   << "08:00:00" << false << "2012-02-29 04:00:00";
    QTest::newRow("over non-leap February") << "2011-02-28 20:00:00"
                                            << "08:00:00" << false << "2011-03-01 04:00:00";
    QTest::newRow("back over leap day") << "2012-03-01 03:00:00"
                                        << "08:00:00" << true << "2012-02-29 19:00:00";
    QTest::newRow("exactly midnight") << "2010-05-01 16:00:00"
                                      << "08:00:00" << false << "2010-05-02 00:00:00";
    QTest::newRow("back over year end") << "2011-01-01 00:00:05"
                                        << "00:00:10" << true << "2010-12-31 23:59:55";
    QTest::newRow("daylight-saving night") << "2010-03-28 01:30:00"
                                           << "01:00:00" << false << "2010-03-28 02:30:00";
    QTest::newRow("autumn night") << "2010-10-31 01:30:00"
                                  << "02:00:00" << false << "2010-10-31 03:30:00";
    QTest::newRow("unpadded offset") << "2010-05-01 12:00:00"
                                     << "1:2:3" << false << "2010-05-01 13:02:03";
    QTest::newRow("more than a day") << "2010-05-01 12:00:00"
                                     << "49:00:00" << false << "2010-05-03 13:00:00";
    QTest::newRow("all parts negative") << "2010-05-01 12:00:00"
                                        << "01:30:30" << true << "2010-05-01 10:29:30";
    QTest::newRow("zero") << "2010-5-1 1:2:3"
                          << "00:00:00" << false << "2010-05-01 01:02:03";
    QTest::newRow("bad date") << "2010-02-30 12:00:00"
                              << "01:00:00" << false << "";
    QTest::newRow("bad offset") << "2010-05-01 12:00:00"
                                << "1:00" << false << "";
    QTest::newRow("signed offset piece") << "2010-05-01 12:00:00"
                                         << "-1:00:00" << false << "";
}

void TestSystemFinction::shiftDateTimeText()
{
    QFETCH(QString, text);
    QFETCH(QString, offset);
    QFETCH(bool, negative);
    QFETCH(QString, result);
    QCOMPARE(ShiftDateTimeText(text, offset, negative), result);
}

void TestSystemFinction::secondsBetween_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("over midnight") << "2010-05-01 23:59:50"
                                   << "2010-05-02 00:00:10" << true << qint64(20);
    QTest::newRow("reversed") << "2010-05-02 00:00:10"
                              << "2010-05-01 23:59:50" << true << qint64(-20);
    QTest::newRow("same") << "2010-05-01 12:00:00"
                          << "2010-05-01 12:00:00" << true << qint64(0);
    QTest::newRow("leap year") << "2012-01-01 00:00:00"
                               << "2013-01-01 00:00:00" << true << qint64(366 * 86400);
    QTest::newRow("common year") << "2011-01-01 00:00:00"
                                 << "2012-01-01 00:00:00" << true << qint64(365 * 86400);
    QTest::newRow("over year end") << "2010-12-31 23:59:59"
                                   << "2011-01-01 00:00:01" << true << qint64(2);
    QTest::newRow("daylight-saving day") << "2010-03-28 00:00:00"
                                         << "2010-03-29 00:00:00" << true << qint64(86400);
    QTest::newRow("bad second text") << "2010-05-01 12:00:00"
                                     << "" << false << qint64(0);
}

void TestSystemFinction::secondsBetween()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, valid);
    QFETCH(qint64, seconds);
    const auto s = pixplot::systemfinction::secondsBetween(first, second);
    QCOMPARE(s.has_value(), valid);
    if (valid)
        QCOMPARE(*s, seconds);
}

void TestSystemFinction::indentSpaces_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "";
    QTest::newRow("1") << 1 << "    ";
    QTest::newRow("3") << 3 << QString(12, QLatin1Char(' '));
    QTest::newRow("negative") << -2 << "";
}

void TestSystemFinction::indentSpaces()
{
    QFETCH(int, level);
    QFETCH(QString, text);
    QCOMPARE(IndentSpaces(level), text);
}

void TestSystemFinction::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("coordinate") << 31.83539 << "31.83539";
    QTest::newRow("whole") << 118.0 << "118";
    QTest::newRow("sum with binary noise") << (0.1 + 0.2) << "0.3";
    QTest::newRow("offset added") << (118.77613 + 0.0065) << "118.78263";
    QTest::newRow("fifteen digits") << (-(122.0 + 19.58362 / 60.0)) << "-122.326393666667";
    QTest::newRow("third") << (1.0 / 3.0) << "0.333333333333333";
    QTest::newRow("small") << 1e-7 << "0.0000001";
    QTest::newRow("large") << 123456789012345678.0 << "123456789012346000";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative half") << -0.5 << "-0.5";
    QTest::newRow("rounds up a digit") << 9.9999999999999999 << "10";
}

void TestSystemFinction::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(pixplot::systemfinction::numberText(value), text);
}

void TestSystemFinction::coordinateFragments_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("dLon");
    QTest::addColumn<double>("dLat");
    QTest::addColumn<QString>("kml");
    QTest::addColumn<QString>("map");
    QTest::newRow("first, no offset") << 1 << 0.0 << 0.0 << "118.77613,31.83539,0"
                                      << "new GLatLng(31.83539,118.77613)";
    QTest::newRow("second, offsets") << 2 << 0.0065 << -0.006 << "-0.9935,-33.006,0"
                                     << "new GLatLng(-33.006,-0.9935)";
    QTest::newRow("past the end") << 3 << 0.0 << 0.0 << ""
                                  << "";
    QTest::newRow("zero index") << 0 << 0.0 << 0.0 << ""
                                << "";
}

void TestSystemFinction::coordinateFragments()
{
    QFETCH(int, index);
    QFETCH(double, dLon);
    QFETCH(double, dLat);
    QFETCH(QString, kml);
    QFETCH(QString, map);
    const QList<GeoPoint> points{{118.77613, 31.83539}, {-1.0, -33.0}};
    QCOMPARE(KmlCoordinate(points, index, dLon, dLat), kml);
    QCOMPARE(MapLatLngLiteral(points, index, dLon, dLat), map);
}

void TestSystemFinction::timeStampText_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("text");
    QTest::newRow("morning") << QDateTime(QDate(2010, 5, 1), QTime(9, 5, 7)) << "90507";
    QTest::newRow("afternoon") << QDateTime(QDate(2010, 5, 1), QTime(14, 3, 22)) << "140322";
    QTest::newRow("midnight") << QDateTime(QDate(2010, 5, 1), QTime(0, 0, 0)) << "00000";
}

void TestSystemFinction::timeStampText()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, text);
    common::clock::setFixed(now);
    QCOMPARE(TimeStampText(), text);
}

void TestSystemFinction::formatNmeaAngle_data()
{
    QTest::addColumn<QString>("angle");
    QTest::addColumn<QString>("text");
    QTest::newRow("latitude, 4 decimals") << "3150.1234"
                                          << "31°50.1234'";
    QTest::newRow("longitude, 4 decimals") << "11846.5678"
                                           << "118°46.5678'";
    QTest::newRow("leading zeros") << "00505.9469"
                                   << "005°05.9469'";
    QTest::newRow("5 decimals") << "3150.12345"
                                << "31°50.12345'";
    QTest::newRow("3 decimals") << "3150.123"
                                << "31°50.123'";
    QTest::newRow("8 decimals") << "11705.43645510"
                                << "117°05.43645510'";
    QTest::newRow("no decimals") << "3150"
                                 << "31°50'";
}

void TestSystemFinction::formatNmeaAngle()
{
    QFETCH(QString, angle);
    QFETCH(QString, text);
    QCOMPARE(FormatNmeaAngle(angle), text);
}

void TestSystemFinction::parseRmcSentence_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("pointTime");
    QTest::addColumn<QString>("position");
    const QString pos = QStringLiteral("N31°50.1234',E118°46.5678'");
    QTest::newRow("new year rollover") << "$GPRMC,235959,A,3150.1234,N,11846.5678,E,0.0,0.0,311210,,,A*74"
                                       << "2011-01-01 07:59:59" << pos;
    QTest::newRow("16:00 UTC is next midnight") << "$GPRMC,160000,A,3150.1234,N,11846.5678,E,0.0,0.0,010510,,"
                                                << "2010-05-02 00:00:00" << pos;
    QTest::newRow("onto leap day") << "$GPRMC,200000.000,A,3150.1234,N,11846.5678,E,,,280212,,"
                                   << "2012-02-29 04:00:00" << pos;
    QTest::newRow("fraction dropped") << "$GPRMC,123456.78,A,3150.1234,N,11846.5678,E,0.0,0.0,010510"
                                      << "2010-05-01 20:34:56" << pos;
    QTest::newRow("empty fraction") << "$GPRMC,123456.,A,3150.1234,N,11846.5678,E,0.0,0.0,010510"
                                    << "2010-05-01 20:34:56" << pos;
    QTest::newRow("checksum on date") << "$GPRMC,123456,A,3150.1234,N,11846.5678,E,0.0,0.0,010510*4C"
                                      << "2010-05-01 20:34:56" << pos;
    QTest::newRow("south west") << "$GPRMC,225308,A,4527.458,S,16709.165,W,0.0,0.0,060601,,"
                                << "2001-06-07 06:53:08"
                                << "S45°27.458',W167°09.165'";
    QTest::newRow("GN talker") << "$GNRMC,055234.000,A,4739.71890,N,12219.58362,W,0.00,0.00,050826,,,A*6C"
                               << "2026-08-05 13:52:34"
                               << "N47°39.71890',W122°19.58362'";
    QTest::newRow("GL talker") << "$GLRMC,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                               << "2010-05-01 20:00:00" << pos;
    QTest::newRow("GA talker") << "$GARMC,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                               << "2010-05-01 20:00:00" << pos;
    QTest::newRow("GB talker") << "$GBRMC,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                               << "2010-05-01 20:00:00" << pos;
    QTest::newRow("BD talker") << "$BDRMC,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                               << "2010-05-01 20:00:00" << pos;
    // Lines that give no point.
    QTest::newRow("status V") << "$GPRMC,120000,V,3150.1234,N,11846.5678,E,,,010510,,"
                              << ""
                              << "";
    QTest::newRow("GGA") << "$GPGGA,120000,3150.1234,N,11846.5678,E,1,08,0.9,545.4,M,46.9,M,,*47"
                         << ""
                         << "";
    QTest::newRow("GSA") << "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39"
                         << ""
                         << "";
    QTest::newRow("blank") << ""
                           << ""
                           << "";
    QTest::newRow("lower-case talker") << "$gprmc,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                                       << ""
                                       << "";
    QTest::newRow("other sentence ending RMC") << "$PGRMC,120000,A,3150.1234,N,11846.5678,E,,,010510,,"
                                               << ""
                                               << "";
    QTest::newRow("nine fields") << "$GPRMC,120000,A,3150.1234,N,11846.5678,E,0.0,0.0"
                                 << ""
                                 << "";
    QTest::newRow("letter in fraction") << "$GPRMC,222515.x,A,4249.96551,S,14726.73171,E,0.042,,231019,,,A*18"
                                        << ""
                                        << "";
    QTest::newRow("fraction only") << "$GPRMC,.1,A,4249.96551,S,14726.73171,E,0.042,,231019,,,A*52"
                                   << ""
                                   << "";
    QTest::newRow("space in time") << "$GPRMC, 222519,A,4249.96551,S,14726.73171,E,0.042,,231019,,,A*62"
                                   << ""
                                   << "";
    QTest::newRow("five-digit time") << "$GPRMC,22251,A,4249.96551,S,14726.73171,E,0.042,,231019,,,"
                                     << ""
                                     << "";
    QTest::newRow("empty date") << "$GPRMC,120000,A,3150.1234,N,11846.5678,E,,,,,"
                                << ""
                                << "";
    QTest::newRow("no such day") << "$GPRMC,120000,A,3150.1234,N,11846.5678,E,,,300210,,"
                                 << ""
                                 << "";
    QTest::newRow("empty latitude") << "$GPRMC,120000,A,,N,11846.5678,E,,,010510,,"
                                    << ""
                                    << "";
    QTest::newRow("empty longitude") << "$GPRMC,120000,A,3150.1234,N,,E,,,010510,,"
                                     << ""
                                     << "";
    QTest::newRow("cut off in latitude") << "$GPRMC,000346.03,A,4808"
                                         << ""
                                         << "";
    QTest::newRow("garbage latitude") << "$GPRMC,120000,A,4,02.3*05,N,11846.5678,E,,,010510"
                                      << ""
                                      << "";
}

void TestSystemFinction::parseRmcSentence()
{
    QFETCH(QString, line);
    QFETCH(QString, pointTime);
    QFETCH(QString, position);
    const PathPoint p = ParseRmcSentence(line);
    QCOMPARE(p.pointTime(), pointTime);
    QCOMPARE(p.positionText(), position);
    QCOMPARE(p.offsetSeconds, qint64(0));
}

void TestSystemFinction::parsePositionText_data()
{
    QTest::addColumn<QString>("position");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::newRow("north east") << "N31°50.1234',E118°46.5678'" << 31.83539 << 118.77613;
    QTest::newRow("south west") << "S45°27.458',W167°09.165'" << -45.4576333333333 << -167.15275;
    QTest::newRow("north west") << "N47°39.71890',W122°19.58362'" << 47.6619816666667 << -122.3263936666667;
    QTest::newRow("leading zeros") << "N50°40.3182',E005°05.9469'" << 50.67197 << 5.099115;
    QTest::newRow("8 decimals") << "N38°42.86006889',W117°05.43645510'" << 38.7143344815 << -117.090607585;
    QTest::newRow("equator") << "N00°00.0000',E000°00.0000'" << 0.0 << 0.0;
    QTest::newRow("sixty minutes") << "N89°60.000',E000°30.000'" << 90.0 << 0.5;
    QTest::newRow("no comma") << "N31°50.1234'" << 0.0 << 0.0;
    QTest::newRow("garbled half") << "N3x°50.1',E001°00.0000'" << 0.0 << 1.0;
    QTest::newRow("empty") << "" << 0.0 << 0.0;
}

void TestSystemFinction::parsePositionText()
{
    QFETCH(QString, position);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    const GeoPoint g = ParsePositionText(position);
    // Minutes / 60 are kept to 13 decimals, so the values are exact decimals.
    QCOMPARE(g.latitude, latitude);
    QCOMPARE(g.longitude, longitude);
}

QTEST_GUILESS_MAIN(TestSystemFinction)
#include "tst_core_systemfinction.moc"
