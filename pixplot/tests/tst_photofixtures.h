#pragma once
// Real files for the window and output tests: JPEG photos whose EXIF time
// exiftool writes, NMEA path files, and the main window with scripted dialogs.
#include "ui/mainwindow.h"

#include "common/scripteddialogs.h"
#include "common/testsupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace fixtures {

// A photo of one colour (JPEG quality 95).
[[nodiscard]] inline bool writeJpeg(const QString &path, int width, int height,
                                    QColor colour = QColor(200, 60, 40))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "JPG", 95);
}

// Writes EXIF DateTimeOriginal ("YYYY:MM:DD hh:mm:ss") into each photo with
// one exiftool run (initTestCase checks that exiftool is there).
[[nodiscard]] inline bool setExifTimes(const QList<QPair<QString, QString>> &photoTimes)
{
    QStringList args{QStringLiteral("-q"), QStringLiteral("-overwrite_original")};
    for (qsizetype i = 0; i < photoTimes.size(); ++i) {
        if (i > 0)
            args << QStringLiteral("-execute") << QStringLiteral("-q")
                 << QStringLiteral("-overwrite_original");
        args << QStringLiteral("-DateTimeOriginal=") + photoTimes.at(i).second << photoTimes.at(i).first;
    }
    QByteArray out, err;
    const int rc = testsupport::runProgram(QStringLiteral("exiftool"), args, &out, &err);
    if (rc != 0)
        qWarning("exiftool: %s", err.constData());
    return rc == 0;
}

// A photo with an EXIF time (colon form).
[[nodiscard]] inline bool writePhoto(const QString &path, const QString &exifTime, int width = 64,
                                     int height = 48)
{
    return writeJpeg(path, width, height) && (exifTime.isEmpty() || setExifTimes({{path, exifTime}}));
}

// "$GPRMC" sentence for a UTC time "hhmmss" on date "ddmmyy".
inline QString rmc(const QString &hhmmss, const QString &ddmmyy,
                   const QString &lat = QStringLiteral("3150.1234"),
                   const QString &lon = QStringLiteral("11846.5678"),
                   const QString &status = QStringLiteral("A"))
{
    return QStringLiteral("$GPRMC,%1,%2,%3,N,%4,E,0.0,0.0,%5,,,A*00").arg(hhmmss, status, lat, lon, ddmmyy);
}

[[nodiscard]] inline bool writeLines(const QString &path, const QStringList &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QString &l : lines)
        f.write(l.toUtf8() + "\r\n");
    return f.flush();
}

// The main window shown offscreen, answering its dialogs from a script.
struct Window {
    common::ScriptedDialogs dialogs;
    std::unique_ptr<PixplotMain> w;

    Window()
    {
        w = std::make_unique<PixplotMain>(dialogs);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qWarning("window not exposed");
    }

    template <typename T> T *get(const QString &name) const
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qWarning("no control %s", qPrintable(name));
        return c;
    }
    QPushButton *button(const QString &name) const { return get<QPushButton>(name); }
    // Clicks a button; "批量执行" works in the background, so this waits
    // until its batch has ended.
    void click(const QString &name) const
    {
        QTest::mouseClick(button(name), Qt::LeftButton);
        for (int i = 0; i < 6000 && w->batchRunning(); ++i)
            QTest::qWait(10);
    }
    // Clicks a check box or option button on its indicator.
    void clickCheck(const QString &name) const
    {
        QAbstractButton *b = get<QAbstractButton>(name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    }
    QTreeView *photos() const { return get<QTreeView>(QStringLiteral("ListView")); }
    QTreeView *path() const { return get<QTreeView>(QStringLiteral("ListGps")); }
    QString photoCell(int row, int column) const // row 1-based
    {
        return photos()->model()->index(row - 1, column).data().toString();
    }
    QString pathCell(int row, int column) const
    {
        return path()->model()->index(row - 1, column).data().toString();
    }
    // The frame's whole caption; the title it paints may be elided.
    QString title(const QString &box) const { return PixplotMain::boxCaption(get<QGroupBox>(box)); }

    // "加入..." with the given files.
    void addPhotos(const QStringList &files)
    {
        dialogs.queueFiles(files);
        click(QStringLiteral("cmd_add"));
    }
    void loadPath(const QString &file)
    {
        dialogs.queueFile(file);
        click(QStringLiteral("cmd_addname"));
    }
    // Selects a photo row (1-based) by clicking it.
    void selectPhoto(int row) const
    {
        QTreeView *v = photos();
        const QModelIndex i = v->model()->index(row - 1, 0);
        v->scrollTo(i);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(i).center());
    }
    void selectPathRow(int row) const
    {
        QTreeView *v = path();
        const QModelIndex i = v->model()->index(row - 1, 0);
        v->scrollTo(i);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(i).center());
    }
};

} // namespace fixtures
