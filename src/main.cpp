// Nuvora: the window program.
#include "state/AppState.h"
#include "ui/MainWindow.h"
#include "ui/WidgetPrompter.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Large (a 64 KiB image buffer) and alive until the process ends.
    auto state = std::make_unique<nuvora::AppState>();
    nuvora::WidgetPrompter prompter;
    nuvora::MainWindow window(*state, prompter, QCoreApplication::applicationDirPath());
    prompter.setParent(&window);
    window.InitStatusBar();
    window.show();
    return app.exec();
}
