// Renders the real main window in its three states (No file, Ready, Busy) and the About box
// into PNG files, for the README. Run by scripts/screenshots.sh under Xvfb.
#include "WindowFixture.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

using namespace nuvora;

namespace {

bool save(QWidget &window, const QString &path)
{
    QCoreApplication::processEvents();
    const bool saved = QTest::qWaitForWindowExposed(&window) && window.grab().save(path);
    std::fprintf(saved ? stdout : stderr, saved ? "%s\n" : "screenshots: cannot write %s\n",
                 qPrintable(path));
    return saved;
}

// The window in a program folder of its own, so that the real one's settings stay untouched.
class Screenshots : test::WindowFixture {
public:
    int run(const QString &source, const QString &sample, const QString &out)
    {
        freshFolder();
        const QDir from(source);
        for (const QString &name : from.entryList({"*.lng", "VURUVEVI.ROD"}, QDir::Files))
            QFile::copy(from.filePath(name), inFolder(name));
        QDir().mkpath(out);
        if (!makeWindow().Form_Load()) {
            std::fprintf(stderr, "screenshots: start-up failed in %s\n", qPrintable(source));
            return 1;
        }
        m_window->show();
        bool ok = save(*m_window, out + "/window-nofile.png");
        m_prompter.chooseFile(sample);
        m_window->menus().smnuFile0->trigger();
        ok = save(*m_window, out + "/window-ready.png") && ok;
        m_window->DisableCommands();
        m_window->setProgressMax(m_state->ImageEnd + 1);
        m_window->setProgressValue((m_state->ImageEnd + 1) * 0.4);
        m_window->SetLamp(LampState::TxOn);
        m_window->SetLamp(LampState::RxOn);
        ok = save(*m_window, out + "/window-busy.png") && ok;
        m_window->EnableCommands();
        m_window->menus().mnuAbo->trigger();
        ok = m_window->aboutBox() && save(*m_window->aboutBox(), out + "/about.png") && ok;
        return ok ? 0 : 1;
    }
};

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
    return Screenshots().run(args[1], QFileInfo(args[2]).absoluteFilePath(),
                             QFileInfo(args[3]).absoluteFilePath());
}
