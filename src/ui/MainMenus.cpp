#include "ui/MainMenus.h"

#include "base/AppState.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace nuvora {

namespace {

QAction *namedAction(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction *separator(QMenu *menu, const QString &name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

QMenu *namedMenu(QMenuBar *bar, const QString &name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

} // namespace

void MainMenus::build(QMenuBar *bar)
{
    mnuFile = namedMenu(bar, QStringLiteral("mnuFile"), QStringLiteral("&File"));
    smnuFile0 = namedAction(mnuFile, QStringLiteral("smnuFile0"), QStringLiteral("&Load"));
    M1 = separator(mnuFile, QStringLiteral("M1"));
    // Qt would hide M1 while it is the last visible item (an empty recent list); it stays.
    mnuFile->setSeparatorsCollapsible(false);
    for (int k = 1; k <= kComMenuItems; ++k)
        fileM[static_cast<size_t>(k - 1)] =
            namedAction(mnuFile, QStringLiteral("fileM%1").arg(k), QString());

    mnuLingue = namedMenu(bar, QStringLiteral("mnuLingue"), QStringLiteral("Language"));
    for (int i = 0; i < 10; ++i) {
        QAction *item = namedAction(mnuLingue, QStringLiteral("smnuLingue%1").arg(i), QString());
        item->setCheckable(true);
        item->setVisible(i == 0);
        smnuLingue[static_cast<size_t>(i)] = item;
    }

    mnuCom = namedMenu(bar, QStringLiteral("mnuCom"), QStringLiteral("&Com"));
    for (int k = 1; k <= kComMenuItems; ++k) {
        QAction *item =
            namedAction(mnuCom, QStringLiteral("mnuCox%1").arg(k), QStringLiteral("COM&%1").arg(k));
        item->setCheckable(true);
        mnuCox[static_cast<size_t>(k - 1)] = item;
    }
    mnusep = separator(mnuCom, QStringLiteral("mnusep"));
    mnuUSB = namedAction(mnuCom, QStringLiteral("mnuUSB"), QStringLiteral("&USB"));
    mnuUSB->setCheckable(true);

    // "?" opens the About box straight from the menu bar: it has no menu of its own.
    mnuAbo = bar->addAction(QStringLiteral("?"));
    mnuAbo->setObjectName(QStringLiteral("mnuAbo"));
}

void MainMenus::setTopLevelEnabled(bool enabled)
{
    for (QMenu *menu : {mnuFile, mnuLingue, mnuCom})
        menu->menuAction()->setEnabled(enabled);
    mnuAbo->setEnabled(enabled);
}

} // namespace nuvora
