#include "core/nmeaconvert.h"

#include "core/datetimetext.h"
#include "core/outputfiles.h"

#include "common/textfile.h"

#include <QRegularExpression>

using pixplot::systemfinction::IndentSpaces;

namespace pixplot::nmeaconvert {

namespace {

QString indented(int level, const QString &text)
{
    return IndentSpaces(level) + text;
}

// Where a document's lines go: a list of lines, or straight into the UTF-8
// bytes of the file (each line ended by CR LF), so a long path never exists
// as millions of separate strings.
class LineSink {
public:
    explicit LineSink(QStringList *lines) : lines_(lines) { }
    explicit LineSink(QByteArray *bytes) : bytes_(bytes) { }
    LineSink &operator<<(const QString &line)
    {
        if (lines_) {
            lines_->append(line);
        } else {
            bytes_->append(line.toUtf8());
            bytes_->append("\r\n", 2);
        }
        return *this;
    }
    void reserve(qsizetype lines)
    {
        if (lines_)
            lines_->reserve(lines);
        else
            bytes_->reserve(lines * 48); // a coordinate line is 40 to 70 bytes
    }

private:
    QStringList *lines_ = nullptr;
    QByteArray *bytes_ = nullptr;
};

void kmlDocumentInto(const PathInput &path, const Offsets &offsets, LineSink &lines);
void htmlPageInto(const PathInput &path, const Offsets &offsets, LineSink &lines);

// A document as a list of lines (QStringList) or as the file's bytes (QByteArray).
template <typename Out>
Out render(void (*document)(const PathInput &, const Offsets &, LineSink &), const PathInput &path,
           const Offsets &offsets)
{
    Out out;
    LineSink sink(&out);
    document(path, offsets, sink);
    return out;
}

} // namespace

bool hasPoints(const PathInput &path)
{
    return path.count >= 1 && path.count <= path.points.size();
}

QStringList kmlDocumentLines(const PathInput &path, const Offsets &offsets)
{
    return render<QStringList>(kmlDocumentInto, path, offsets);
}

QByteArray kmlDocument(const PathInput &path, const Offsets &offsets)
{
    return render<QByteArray>(kmlDocumentInto, path, offsets);
}

QStringList htmlPageLines(const PathInput &path, const Offsets &offsets)
{
    return render<QStringList>(htmlPageInto, path, offsets);
}

QByteArray htmlPage(const PathInput &path, const Offsets &offsets)
{
    return render<QByteArray>(htmlPageInto, path, offsets);
}

namespace {

void kmlDocumentInto(const PathInput &path, const Offsets &offsets, LineSink &lines)
{
    const int n = int(path.count);
    const auto coord = [&](int i) {
        return systemfinction::KmlCoordinate(path.points, i, offsets.longitude, offsets.latitude);
    };

    lines.reserve(40 + n);
    lines << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
          << QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\">") << QStringLiteral("<Document>")
          << QStringLiteral("<name>Paths ") + systemfinction::TimeStampText() + QStringLiteral("</name>")
          << QStringLiteral("<description>") + path.timeSpan + QStringLiteral("</description>");

    // The start and end pins.
    const auto pin = [&](const QString &name, int i) {
        lines << indented(1, QStringLiteral("<Placemark>"))
              << indented(2, QStringLiteral("<name>") + name + QStringLiteral("</name>"))
              << indented(2, QStringLiteral("<description></description>"))
              << indented(2, QStringLiteral("<Point>"))
              << indented(3, QStringLiteral("<coordinates>") + coord(i) + QStringLiteral("</coordinates>"))
              << indented(2, QStringLiteral("</Point>")) << indented(1, QStringLiteral("</Placemark>"));
    };
    pin(QStringLiteral("Start"), 1);
    pin(QStringLiteral("End"), n);

    lines << QString() << QStringLiteral("<Style id=\"style0\"><LineStyle>")
          << QStringLiteral("<color>ff00ffaa</color>") << QStringLiteral("<width>2</width>")
          << QStringLiteral("</LineStyle></Style>") << indented(1, QStringLiteral("<Placemark>"))
          << indented(2, QStringLiteral("<name>%1 Point's Track</name>").arg(n))
          << indented(2, QStringLiteral("<description>Auto Track ......</description>"))
          << indented(2, QStringLiteral("<styleUrl>#style0</styleUrl>"))
          << indented(2, QStringLiteral("<LineString>")) << indented(2, QStringLiteral("<coordinates>"));
    for (int i = 1; i <= n; ++i)
        lines << indented(3, coord(i));
    lines << indented(2, QStringLiteral("</coordinates>")) << indented(2, QStringLiteral("</LineString>"))
          << indented(1, QStringLiteral("</Placemark>")) << QStringLiteral("</Document>")
          << QStringLiteral("</kml>");
}

void htmlPageInto(const PathInput &path, const Offsets &offsets, LineSink &lines)
{
    const int n = int(path.count);
    const auto latLng = [&](int i) {
        return systemfinction::MapLatLngLiteral(path.points, i, offsets.longitude, offsets.latitude);
    };
    const QString first = latLng(1);

    lines.reserve(70 + n);
    lines << QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>")
          << QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">")
          << QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                            "xmlns:v=\"urn:schemas-microsoft-com:vml\" lang=\"ja\" xml:lang=\"ja\">")
          << QStringLiteral("<head>")
          << indented(
                 1,
                 QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"))
          << indented(
                 1, QStringLiteral("<meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\" />"))
          << indented(1, QStringLiteral("<meta http-equiv=\"Content-Style-Type\" content=\"text/css\" />"))
          << QStringLiteral("<title>Paths ") + systemfinction::TimeStampText() + QStringLiteral("</title>")
          << indented(1, QStringLiteral("<style type=\"text/css\">")) << indented(1, QStringLiteral("v\\:*"))
          << indented(1, QStringLiteral("{")) << indented(2, QStringLiteral("behavior:url(#default#VML);"))
          << indented(1, QStringLiteral("}")) << indented(1, QStringLiteral("#title {"))
          << indented(2, QStringLiteral("font-size: medium;"))
          << indented(2, QStringLiteral("font-weight: bold;")) << indented(1, QStringLiteral("}"))
          << indented(1, QStringLiteral("#map {")) << indented(2, QStringLiteral("margin: 0px;"))
          << indented(2, QStringLiteral("float: left;")) << indented(1, QStringLiteral("}"))
          << indented(1, QStringLiteral("#copyright {")) << indented(2, QStringLiteral("font-size: small;"))
          << indented(2, QStringLiteral("font-weight: bold;"))
          << indented(2, QStringLiteral("font-family: \"Times New Roman\";"))
          << indented(1, QStringLiteral("}"))
          << indented(1, QStringLiteral("</style>"))
          // "&amp;" keeps the page well-formed XML; browsers read it as "&".
          << indented(1,
                      QStringLiteral("<script src=\"http://maps.google.com/maps?file=api&amp;v=2&amp;key=\" "
                                     "type=\"text/javascript\"></script>"))
          << indented(1, QStringLiteral("<script type=\"text/javascript\">"))
          << indented(1, QStringLiteral("//<![CDATA[")) << indented(1, QStringLiteral("var map;"))
          << indented(1, QStringLiteral("var points = new Array();")) << IndentSpaces(1)
          << indented(1, QStringLiteral("function load() {"))
          << indented(1, QStringLiteral("if ( GBrowserIsCompatible() ) {"))
          << indented(1, QStringLiteral("map = new GMap2(document.getElementById(\"map\"));"))
          << indented(1, QStringLiteral("map.addControl(new GLargeMapControl());"))
          << indented(1, QStringLiteral("map.addControl(new GMapTypeControl());"))
          << indented(1, QStringLiteral("map.addControl(new GScaleControl());"))
          << QStringLiteral("map.setCenter(") + first
            + QStringLiteral(",map.getBoundsZoomLevel(new GLatLngBounds(") + first + QStringLiteral(",")
            + first + QStringLiteral(")));")
          << QStringLiteral("map.setMapType(G_NORMAL_MAP);")
          << QStringLiteral("map.addControl(new GOverviewMapControl());")
          << QStringLiteral("map.enableDoubleClickZoom();") << QStringLiteral("new GKeyboardHandler(map);");
    for (int i = 1; i <= n; ++i)
        lines << indented(1, QStringLiteral("points.push(") + latLng(i) + QStringLiteral(");"));
    // The green line runs through the whole path, however long it is.
    lines << QStringLiteral("map.addOverlay(new GPolyline(points.slice(0,%1),'#00FF00', 5, 0.5));").arg(n)
          << QStringLiteral("map.addOverlay(new GPolyline(points.slice(1043, 1072),'#00ffff', 5, 0.5));")
          << QString() << indented(1, QStringLiteral("} else {"))
          << indented(2, QStringLiteral("document.getElementById('map').innerHTML='NONE';"))
          << indented(1, QStringLiteral("}")) << indented(1, QStringLiteral("}")) << IndentSpaces(1)
          << indented(1, QStringLiteral("//]]>")) << indented(1, QStringLiteral("</script>"))
          << QStringLiteral("</head>") << QStringLiteral("<body onload=\"load()\" onunload=\"GUnload()\">")
          << indented(1, QStringLiteral("<div id=\"title\">")) << indented(1, QStringLiteral("<p>"))
          << indented(2, QStringLiteral("Log Date And Time: ") + path.timeSpan)
          << indented(1, QStringLiteral("</p>")) << indented(1, QStringLiteral("</div>")) << IndentSpaces(1)
          << indented(1, QStringLiteral("<div id=\"map\" style=\"width:900px;height:768px;\"></div>"))
          << indented(1, QStringLiteral("<div style=\"clear:both;\"></div>")) << QStringLiteral("</body>")
          << QStringLiteral("</html>");
}

} // namespace

QString kmlFileName(const QString &pathFileBase)
{
    return pathFileBase + QStringLiteral(".kml");
}
QString htmlFileName(const QString &pathFileBase)
{
    return pathFileBase + QStringLiteral(".html");
}

bool writeDocument(const QString &fileName, const QStringList &lines, QString *error)
{
    return common::writeTextLines(fileName, lines, common::TextEncoding::Utf8, error);
}

bool writeDocument(const QString &fileName, const QByteArray &bytes, QString *error)
{
    return common::writeFileAtomically(fileName, bytes, error);
}

std::optional<double> parseOffsetText(const QString &text)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)$"));
    const QString t = text.trimmed();
    if (!decimal.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = t.toDouble(&ok); // QString::toDouble reads the C locale
    if (!ok)
        return std::nullopt;
    return value;
}

PresetTexts presetOffsetTexts(Preset preset)
{
    switch (preset) {
    case Preset::MapView:
        return {QStringLiteral("0.0015125498454"), QStringLiteral("0.003265375977")};
    case Preset::SatelliteView:
        return {QStringLiteral("0.003766666"), QStringLiteral("-0.00145")};
    case Preset::None:
        break;
    }
    return {QStringLiteral("0.0"), QStringLiteral("0.0")};
}

QString kmlSavedMessage(const QString &fileName, qsizetype count)
{
    return QStringLiteral("KML文件已保存到\r\n") + fileName + QStringLiteral("！\r\n\r\n共 ")
        + QString::number(count) + QStringLiteral("个轨迹点。");
}

QString htmlSavedMessage(const QString &fileName)
{
    return QStringLiteral("HTML 视图方式文件已保存到\r\n") + fileName + QStringLiteral("！");
}

QString badOffsetMessage(int box, const QString &text)
{
    const QString half = box < 2 ? QStringLiteral("Google Earth 视图") : QStringLiteral("网页 视图");
    const QString which = box % 2 == 0 ? QStringLiteral("纬度修正") : QStringLiteral("经度修正");
    return QStringLiteral("%1的%2“%3”不是有效的十进制数，文件未写入。").arg(half, which, text);
}

QString writeFailedMessage(const QString &fileName, const QString &error)
{
    return QStringLiteral("文件保存失败：\r\n") + fileName + QStringLiteral("\r\n") + error;
}

QString noPointsMessage()
{
    return QStringLiteral("没有已加载的路径轨迹点，文件未写入。");
}

} // namespace pixplot::nmeaconvert
