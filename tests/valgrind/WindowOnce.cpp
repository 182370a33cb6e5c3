// The window's start-up in the program folder given, and its close as soon as the event loop
// runs, for valgrind: the shutdown ends the event loop, not the process, so that everything is
// torn down and a block nobody frees shows as lost.
#include "base/AppState.h"
#include "ui/MainWindow.h"
#include "ui/WidgetPrompter.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    nuvora::AppState state;
    nuvora::WidgetPrompter prompter;
    nuvora::ShutdownActions shutdown = nuvora::systemShutdownActions();
    shutdown.endProcess = [] { QCoreApplication::exit(0); };
    nuvora::MainWindow window(state, prompter, QString::fromLocal8Bit(argv[1]), shutdown);
    prompter.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    QTimer::singleShot(0, &window, &QWidget::close);
    return app.exec();
}
