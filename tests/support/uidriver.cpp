#include "uidriver.h"

#include "widgets/viewerdefaultdialog.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

namespace lf::test {

DialogAnswerer::DialogAnswerer(const char* buttonName)
    : m_buttonName(buttonName)
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start();
}

void DialogAnswerer::poll()
{
    auto* dialog = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget());
    if (!dialog)
        return;
    title = dialog->findChild<QLabel*>(QStringLiteral("title_label"))->text();
    message = dialog->findChild<QLabel*>(QStringLiteral("message_label"))->text();
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(m_buttonName));
    QTest::mousePress(button, Qt::LeftButton);
    ++answered;
}

MenuChooser::MenuChooser(const QStringList& path)
    : m_path(path)
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, this, &MenuChooser::poll);
    m_timer.start();
}

QStringList MenuChooser::entriesOf(const QMenu* menu, const QString& prefix)
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        texts << prefix + action->text();
        if (action->menu())
            texts << entriesOf(action->menu(), prefix + action->text() + QLatin1Char('/'));
    }
    return texts;
}

void MenuChooser::poll()
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || shown)
        return;
    shown = true;
    m_timer.stop();
    entries = entriesOf(menu, QString());
    if (m_path.isEmpty()) {
        menu->close();
        return;
    }
    // Clicks through the path: a submenu opens on its entry, its entry is
    // clicked once it shows.
    QMenu* current = menu;
    for (const QString& step : qAsConst(m_path)) {
        QAction* target = nullptr;
        for (QAction* action : current->actions()) {
            if (action->text() == step)
                target = action;
        }
        if (!target) {
            menu->close();
            return;
        }
        if (target->menu()) {
            current->setActiveAction(target);
            QTest::mouseClick(current, Qt::LeftButton, {}, current->actionGeometry(target).center());
            QMenu* sub = target->menu();
            QTRY_VERIFY(sub->isVisible());
            current = sub;
        } else {
            QTest::mouseClick(current, Qt::LeftButton, {}, current->actionGeometry(target).center());
            return;
        }
    }
}

DesktopUrlCatcher::DesktopUrlCatcher(const QStringList& schemes)
    : m_schemes(schemes)
{
    for (const QString& scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

DesktopUrlCatcher::~DesktopUrlCatcher()
{
    for (const QString& scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

} // namespace lf::test
