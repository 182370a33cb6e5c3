// Start-up time of the window program: from process start to the main window exposed, as the
// median over repeated starts. The measured child is this program in its "--child" role: the
// same window classes, the same start-up as Nuvora's main, with a prompter that only records
// (a box would otherwise wait for a click) and an event filter that reports the first expose.
#include "base/Prompter.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace nuvora;

namespace {

constexpr int kStarts = 25;

class QuietPrompter : public Prompter {
public:
    void message(const QString &text, int, const QString &) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
    }
    OpenFileAnswer openFile(const OpenFileOptions &) override { return {}; }
};

class ExposeWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int child(int argc, char **argv, const QString &folder)
{
    QApplication app(argc, argv);
    auto state = std::make_unique<AppState>();
    QuietPrompter prompter;
    MainWindow window(*state, prompter, folder);
    if (!window.Form_Load())
        return 3;
    ExposeWatch watch;
    window.winId();
    window.windowHandle()->installEventFilter(&watch);
    window.show();
    return app.exec();
}

// The program folder of a fresh installation, with its serial port on a pseudo-terminal so
// that the port opens as it would on a real machine.
bool prepareFolder(const QString &folder, int &ptyMaster)
{
    const QString bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    const QDir from(bin);
    const QStringList files =
        from.entryList({QStringLiteral("*.lng"), QStringLiteral("VURUVEVI.ROD")}, QDir::Files);
    for (const QString &name : files)
        QFile::copy(from.filePath(name), folder + QLatin1Char('/') + name);
    if (files.filter(QStringLiteral(".lng")).isEmpty()) {
        std::fprintf(stderr, "no language files in %s\n", qPrintable(bin));
        return false;
    }
    ptyMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (ptyMaster < 0 || grantpt(ptyMaster) != 0 || unlockpt(ptyMaster) != 0)
        return false;
    QDir().mkpath(folder + QStringLiteral("/ports"));
    return QFile::link(QString::fromLocal8Bit(ptsname(ptyMaster)),
                       folder + QStringLiteral("/ports/COM1"));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    int master = -1;
    if (!prepareFolder(folder.path(), master))
        return 1;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<double> ms;
    for (int i = 0; i < kStarts; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--child"), folder.path()});
        bool shown = false;
        while (!shown && process.waitForReadyRead(10000))
            shown = process.readAll().contains("shown");
        const double elapsed = clock.nsecsElapsed() / 1e6;
        process.waitForFinished(10000);
        if (!shown) {
            std::fprintf(stderr, "start %d: the window was never shown\n%s", i + 1,
                         process.readAllStandardError().constData());
            return 1;
        }
        ms.push_back(elapsed);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("GUI start-up, process start to window exposed (offscreen), %d starts:\n", kStarts);
    std::printf("  median %.1f ms   min %.1f ms   max %.1f ms   (target <= 150 ms)\n",
                ms[ms.size() / 2], ms.front(), ms.back());
    ::close(master);
    return 0;
}
