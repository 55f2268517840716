#include "common/about.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace common {

LibraryNote libraryNote(Library library)
{
    switch (library) {
    case Library::Qt:
        return {QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())), QStringLiteral("LGPL-3.0-only"),
                QStringLiteral("https://www.qt.io")};
    case Library::Exiv2:
        return {QStringLiteral("libexiv2"), QStringLiteral("GPL-2.0-or-later"),
                QStringLiteral("https://exiv2.org")};
    case Library::Leaflet:
        return {QStringLiteral("Leaflet, Leaflet.markercluster"), QStringLiteral("BSD-2-Clause, MIT"),
                QStringLiteral("https://leafletjs.com")};
    case Library::LibJpegTurbo:
        return {QStringLiteral("libjpeg-turbo"), QStringLiteral("IJG, BSD-3-Clause, Zlib"),
                QStringLiteral("https://libjpeg-turbo.org")};
    case Library::LibHeif:
        return {QStringLiteral("libheif"), QStringLiteral("LGPL-3.0-or-later"),
                QStringLiteral("https://github.com/strukturag/libheif")};
    case Library::Tesseract:
        return {QStringLiteral("Tesseract"), QStringLiteral("Apache-2.0"),
                QStringLiteral("https://github.com/tesseract-ocr/tesseract")};
    }
    return {};
}

QString suiteVersion()
{
    return QStringLiteral(SUITE_VERSION);
}

QString suiteHomepage()
{
    return QStringLiteral(SUITE_HOMEPAGE);
}

QString aboutText(const AboutInfo &info)
{
    const auto link = [](const QString &url) {
        return QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped());
    };
    QString text = QStringLiteral("<h3>%1 %2</h3><p>%3</p>")
                       .arg(info.program.toHtmlEscaped(), suiteVersion(), info.summary.toHtmlEscaped());
    text += QStringLiteral("<p>许可证：GPL-3.0-or-later<br>主页：%1</p>").arg(link(suiteHomepage()));
    text += QStringLiteral("<p>使用的程序库：</p><table cellspacing=\"2\">");
    for (const Library library : info.libraries) {
        const LibraryNote note = libraryNote(library);
        text += QStringLiteral("<tr><td>%1</td><td>&nbsp;%2</td><td>&nbsp;%3</td></tr>")
                    .arg(note.name.toHtmlEscaped(), note.licence.toHtmlEscaped(), link(note.homepage));
    }
    return text + QStringLiteral("</table>");
}

QWidget *showAbout(QWidget *parent, const AboutInfo &info)
{
    auto *box = new QDialog(parent);
    box->setObjectName(QStringLiteral("about"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("关于 ") + info.program);
    auto *layout = new QVBoxLayout(box);
    auto *label = new QLabel(aboutText(info), box);
    label->setObjectName(QStringLiteral("aboutText"));
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    layout->addWidget(label);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, box);
    QObject::connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::close);
    layout->addWidget(buttons);
    box->show();
    return box;
}

} // namespace common
