#include "core/textreader.h"

#include <QDir>
#include <QFileInfo>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <memory>

namespace areagrab {

namespace {

// Screen text is small (12 to 16 pixels); the engine reads it better at
// twice the size. Only small areas are enlarged: on a whole screen four
// times the pixels cost far more time than they gain.
constexpr int UpscaleBelowHeight = 600;

bool isCjk(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF);
}

bool progressArrived(tesseract::ETEXT_DESC *monitor, int, int, int, int)
{
    static_cast<TextReader *>(monitor->cancel_this)->setProgress(monitor->progress);
    return true;
}

bool cancelAsked(void *reader, int)
{
    return static_cast<TextReader *>(reader)->isCancelled();
}

struct PixDeleter {
    void operator()(Pix *pix) const { pixDestroy(&pix); }
};

} // namespace

QStringList TextReader::languages()
{
    return {QStringLiteral("chi_sim"), QStringLiteral("eng")};
}

QString TextReader::dataFolder()
{
    // Tesseract 5 reads TESSDATA_PREFIX as the folder of the data files.
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return QDir::cleanPath(prefix);
    for (const char *folder :
         {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata",
          "/usr/share/tessdata", "/usr/local/share/tessdata"}) {
        if (QFileInfo::exists(QString::fromLatin1(folder) + QStringLiteral("/eng.traineddata"))
            || QFileInfo::exists(QString::fromLatin1(folder) + QStringLiteral("/chi_sim.traineddata")))
            return QString::fromLatin1(folder);
    }
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList TextReader::missingLanguages()
{
    const QDir folder(dataFolder());
    QStringList missing;
    for (const QString &language : languages()) {
        if (!QFileInfo(folder.filePath(language + QStringLiteral(".traineddata"))).isFile())
            missing << language;
    }
    return missing;
}

TextResult TextReader::read(const QImage &image)
{
    progress_.store(0);
    if (image.isNull())
        return {{}, QStringLiteral("没有可识别的图像。")};
    if (const QStringList missing = missingLanguages(); !missing.isEmpty()) {
        QStringList packages;
        for (const QString &language : missing)
            packages << QStringLiteral("tesseract-ocr-")
                    + QString(language).replace(QLatin1Char('_'), QLatin1Char('-'));
        return {{},
                QStringLiteral("缺少文字识别的语言包：%1（在 %2 中没有找到；Debian 上请安装 %3）")
                    .arg(missing.join(QStringLiteral("、")), dataFolder(), packages.join(QLatin1Char(' ')))};
    }

    QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    if (gray.height() < UpscaleBelowHeight)
        gray = gray.scaled(gray.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::unique_ptr<Pix, PixDeleter> pix(pixCreate(gray.width(), gray.height(), 8));
    if (!pix)
        return {{}, QStringLiteral("内存不足，无法识别文字。")};
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *line = gray.constScanLine(y);
        l_uint32 *row = pixGetData(pix.get()) + y * pixGetWpl(pix.get());
        for (int x = 0; x < gray.width(); ++x)
            SET_DATA_BYTE(row, x, line[x]);
    }

    tesseract::TessBaseAPI api;
    const QByteArray folder = QFile::encodeName(dataFolder());
    const QByteArray languageList = languages().join(QLatin1Char('+')).toLatin1();
    // The engine's own chatter would land on our stderr.
    const std::vector<std::string> names{"debug_file"};
    const std::vector<std::string> values{"/dev/null"};
    if (api.Init(folder.constData(), languageList.constData(), tesseract::OEM_DEFAULT, nullptr, 0, &names,
                 &values, false)
        != 0)
        return {{}, QStringLiteral("无法启动文字识别（Tesseract，语言数据在 %1）。").arg(dataFolder())};
    api.SetVariable("user_defined_dpi", "300");
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(pix.get());

    tesseract::ETEXT_DESC monitor;
    monitor.cancel_this = this;
    monitor.cancel = &cancelAsked;
    monitor.progress_callback2 = &progressArrived;
    const int status = api.Recognize(&monitor);
    if (isCancelled())
        return {{}, QStringLiteral("文字识别已取消。")};
    if (status != 0)
        return {{}, QStringLiteral("文字识别失败。")};
    const std::unique_ptr<char[]> text(api.GetUTF8Text());
    progress_.store(100);
    return {tidyRecognizedText(QString::fromUtf8(text.get())), {}};
}

QString tidyRecognizedText(const QString &raw)
{
    QStringList lines;
    for (const QString &line : raw.split(QLatin1Char('\n'))) {
        QString tidy;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == QLatin1Char(' ') && !tidy.isEmpty() && isCjk(tidy.back())) {
                qsizetype next = i;
                while (next < line.size() && line[next] == QLatin1Char(' '))
                    ++next;
                if (next < line.size() && isCjk(line[next])) {
                    i = next - 1;
                    continue;
                }
            }
            tidy += c;
        }
        lines << tidy.trimmed();
    }
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

} // namespace areagrab
