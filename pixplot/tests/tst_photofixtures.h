#pragma once
// The main window shown offscreen with scripted dialogs, for the window
// tests, beside the real files of tst_files.h.
#include "tst_files.h"

#include "ui/mainwindow.h"

#include "common/scripteddialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <memory>

namespace fixtures {

// The main window shown offscreen, answering its dialogs from a script.
struct Window {
    common::ScriptedDialogs dialogs;
    std::unique_ptr<pixplot::PixplotMain> w;

    Window()
    {
        w = std::make_unique<pixplot::PixplotMain>(dialogs);
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
    void clickChecks(const QStringList &names) const
    {
        for (const QString &name : names)
            clickCheck(name);
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
    QString title(const QString &box) const { return pixplot::PixplotMain::boxCaption(get<QGroupBox>(box)); }

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
