// Renders the real main window in its three states (No file, Ready, Busy) and the About box
// into PNG files, for the README. Run by scripts/screenshots.sh under Xvfb.
#include "RecordingPrompter.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace nuvora;

namespace {

bool save(QWidget &window, const QString &path)
{
    QCoreApplication::processEvents();
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: nuvora-screenshots PROGRAM_DIR SAMPLE_IMAGE OUT_DIR\n");
        return 2;
    }
    // Absolute now: start-up makes the program folder the current one.
    const QString source = args[1], sample = QFileInfo(args[2]).absoluteFilePath(),
                  out = QFileInfo(args[3]).absoluteFilePath();
    // A program folder of its own, so that the settings of the real one stay untouched.
    QTemporaryDir folder;
    const QDir from(source);
    for (const QString &name :
         from.entryList({QStringLiteral("*.lng"), QStringLiteral("VURUVEVI.ROD")}, QDir::Files))
        QFile::copy(from.filePath(name), folder.filePath(name));
    QDir().mkpath(out);

    auto state = std::make_unique<AppState>();
    test::RecordingPrompter prompter;
    ShutdownActions none;
    none.endProcess = [] {};
    MainWindow window(*state, prompter, folder.path(), none);
    if (!window.Form_Load()) {
        std::fprintf(stderr, "screenshots: start-up failed (no language files in %s?)\n",
                     qPrintable(source));
        return 1;
    }
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    bool ok = save(window, out + QStringLiteral("/window-nofile.png"));

    prompter.chooseFile(sample);
    window.menus().smnuFile0->trigger();
    ok = save(window, out + QStringLiteral("/window-ready.png")) && ok;

    window.DisableCommands();
    window.setProgressMax(state->ImageEnd + 1);
    window.setProgressValue((state->ImageEnd + 1) * 0.4);
    window.SetLamp(LampState::TxOn);
    window.SetLamp(LampState::RxOn);
    ok = save(window, out + QStringLiteral("/window-busy.png")) && ok;
    window.EnableCommands();
    window.menus().mnuAbo->trigger();
    if (AboutBox *about = window.aboutBox()) {
        if (!QTest::qWaitForWindowExposed(about))
            return 1;
        ok = save(*about, out + QStringLiteral("/about.png")) && ok;
    }
    for (const test::Box &box : prompter.boxes)
        std::fprintf(stderr, "box: %s\n", qPrintable(box.text));
    return ok ? 0 : 1;
}
