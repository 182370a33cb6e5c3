// Renders the real main window in its three states (No file, Ready, Busy) and the About box
// into PNG files, for the README. Run by scripts/screenshots.sh under Xvfb.
#include "WindowFixture.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

using namespace nuvora;

// The window in a program folder of its own, so that the real one's settings stay untouched.
class Screenshots : test::WindowFixture {
public:
    int run(const QString &source, const QString &sample, const QString &out)
    {
        freshWindow();
        const QDir from(source);
        for (const QString &name : from.entryList({"*.lng", "VURUVEVI.ROD"}, QDir::Files))
            QFile::copy(from.filePath(name), inFolder(name));
        QDir().mkpath(out);
        if (!m_window->Form_Load())
            return save(nullptr, "start-up in " + source);
        m_window->show();
        int failed = save(m_window.get(), out + "/window-nofile.png");
        m_prompter.chooseFile(sample);
        m_window->menus().smnuFile0->trigger();
        failed |= save(m_window.get(), out + "/window-ready.png");
        m_window->DisableCommands();
        m_window->setProgressMax(m_state->ImageEnd + 1);
        m_window->setProgressValue((m_state->ImageEnd + 1) * 0.4);
        m_window->SetLamp(LampState::TxOn);
        m_window->SetLamp(LampState::RxOn);
        failed |= save(m_window.get(), out + "/window-busy.png");
        m_window->EnableCommands();
        m_window->menus().mnuAbo->trigger();
        return failed | save(m_window->aboutBox(), out + "/about.png");
    }

private:
    // 0 when the picture was written (its path printed), 1 when not.
    static int save(QWidget *window, const QString &path)
    {
        QCoreApplication::processEvents();
        const bool saved =
            window && QTest::qWaitForWindowExposed(window) && window->grab().save(path);
        std::fprintf(saved ? stdout : stderr, saved ? "%s\n" : "screenshots: %s failed\n",
                     qPrintable(path));
        return saved ? 0 : 1;
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: nuvora-screenshots PROGRAM_DIR SAMPLE_IMAGE OUT_DIR\n");
        return 2;
    }
    // Absolute now: start-up makes the program folder the current one.
    return Screenshots().run(args[1], QFileInfo(args[2]).absoluteFilePath(),
                             QFileInfo(args[3]).absoluteFilePath());
}
