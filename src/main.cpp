// Nuvora: the window program.
#include "base/AppState.h"
#include "ui/MainWindow.h"
#include "ui/WidgetPrompter.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    // The host's command line means nothing here: Qt must not act on it either (-platform...).
    (void)argc;
    int qtArgc = 1;
    // Named here, not after argv[0]: started through the /usr/bin/nuvora link, the per-user
    // settings would otherwise go to ~/.config/nuvora instead of ~/.config/Nuvora.
    QCoreApplication::setApplicationName(QStringLiteral("Nuvora"));
    // The installed menu entry's name, so that Wayland shells show its icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.nuvora.Nuvora"));
    QApplication app(qtArgc, argv);
    // The shared state lives until the process ends (the 64 KiB image stays off the stack).
    auto state = std::make_unique<nuvora::AppState>();
    nuvora::WidgetPrompter prompter;
    // The program folder holds the language files, the icon, the settings and the port aliases.
    nuvora::MainWindow window(*state, prompter, QCoreApplication::applicationDirPath());
    prompter.setParent(&window);
    if (!window.Form_Load())
        return 0; // no language file: the shutdown has run
    window.show();
    return app.exec();
}
