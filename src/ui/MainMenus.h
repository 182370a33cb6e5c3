#pragma once

#include <QString>

#include <array>

class QAction;
class QMenu;
class QMenuBar;

namespace nuvora {

// The main window's menu bar, every item under its design name (objectName) with its caption
// and state at creation.
struct MainMenus {
    QMenu *mnuFile = nullptr;
    QAction *smnuFile0 = nullptr;
    QAction *M1 = nullptr;
    std::array<QAction *, 4> fileM{}; // items 1..4 at 0..3
    QMenu *mnuLingue = nullptr;
    std::array<QAction *, 10> smnuLingue{};
    QMenu *mnuCom = nullptr;
    std::array<QAction *, 4> mnuCox{}; // items 1..4 at 0..3
    QAction *mnusep = nullptr;
    QAction *mnuUSB = nullptr;
    QAction *mnuAbo = nullptr;

    void build(QMenuBar *bar);
    // The four top-level entries, which the busy state switches as one.
    void setTopLevelEnabled(bool enabled);
};

} // namespace nuvora
