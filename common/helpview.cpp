#include "common/helpview.h"

#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace common {

QString readmeSection(const QString &program)
{
    QFile file(QStringLiteral(":/suite/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    const QString heading = QStringLiteral("\n## ") + program + QLatin1Char('\n');
    const qsizetype start = text.indexOf(heading);
    if (start < 0)
        return {};
    // Up to the next section of the same level; "## " inside a fenced
    // block is a shell comment, not a heading.
    qsizetype end = text.size();
    bool fenced = false;
    qsizetype at = start + heading.size();
    while (at < text.size()) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), at);
        if (lineEnd < 0)
            lineEnd = text.size();
        const QStringView line = QStringView(text).mid(at, lineEnd - at);
        if (line.startsWith(QLatin1String("```")))
            fenced = !fenced;
        else if (!fenced && line.startsWith(QLatin1String("## "))) {
            end = at;
            break;
        }
        at = lineEnd + 1;
    }
    return text.mid(start + 1, end - start - 1);
}

QWidget *showHelp(QWidget *parent, const QString &program)
{
    auto *view = new QWidget(parent, Qt::Window);
    view->setObjectName(QStringLiteral("help"));
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle(program + QStringLiteral(" 帮助"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *browser = new QTextBrowser(view);
    browser->setObjectName(QStringLiteral("helpText"));
    browser->setOpenExternalLinks(true);
    browser->setMarkdown(readmeSection(program));
    layout->addWidget(browser);
    new QShortcut(QKeySequence(Qt::Key_Escape), view, view, &QWidget::close);
    view->resize(720, 560);
    view->show();
    return view;
}

namespace {

// Keeps the button in the top-right corner as the window resizes.
class CornerKeeper : public QObject {
public:
    CornerKeeper(QToolButton *button, QWidget *window, QPoint margin)
        : QObject(button), button_(button), margin_(margin)
    {
        window->installEventFilter(this);
        place(window);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            place(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void place(QWidget *window)
    {
        button_->move(window->width() - button_->width() - margin_.x(), margin_.y());
        button_->raise();
    }
    QToolButton *button_;
    QPoint margin_;
};

} // namespace

QToolButton *addHelpButton(QWidget *window, const AboutInfo &info, QPoint margin)
{
    auto *button = new QToolButton(window);
    button->setObjectName(QStringLiteral("helpButton"));
    button->setText(QStringLiteral("?"));
    button->setToolTip(QStringLiteral("帮助和关于"));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setFixedSize(16, 16);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    auto *menu = new QMenu(button);
    QAction *help = menu->addAction(QStringLiteral("帮助\tF1"));
    help->setObjectName(QStringLiteral("helpAction"));
    QAction *about = menu->addAction(QStringLiteral("关于"));
    about->setObjectName(QStringLiteral("aboutAction"));
    button->setMenu(menu);
    const QString program = info.program;
    QObject::connect(help, &QAction::triggered, window, [window, program] { showHelp(window, program); });
    QObject::connect(about, &QAction::triggered, window, [window, info] { showAbout(window, info); });
    // F1 works wherever the focus is in the window, menu closed or not.
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, help, &QAction::trigger);
    new CornerKeeper(button, window, margin);
    button->show();
    return button;
}

} // namespace common
