// Test helper, "settings_probe load|save FOLDER": runs LoadFileINI or SaveFileINI on a folder
// and prints what happened, one "key=value" line each, for a test running it as another user.
#include "app/Prompter.h"
#include "app/SettingsFile.h"
#include "serial/ComMenuMarks.h"
#include "state/AppState.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

class PrintingPrompter : public nuvora::Prompter {
public:
    void message(const QString &text, int style, const QString &title) override
    {
        std::printf("box=%d|%s|%s\n", style, qPrintable(title), qPrintable(text));
    }
    nuvora::OpenFileAnswer openFile(const nuvora::OpenFileOptions &) override { return {}; }
};

class NoMarks : public nuvora::ComMenuMarks {
public:
    void setComChecked(int, bool) override {}
    void setUsbChecked(bool) override {}
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    const nuvora::SettingsFile settings(args.at(2));
    std::printf("path=%s\n", qPrintable(settings.path()));
    auto state = std::make_unique<nuvora::AppState>();
    if (args.at(1) == QLatin1String("load")) {
        PrintingPrompter prompter;
        NoMarks marks;
        settings.LoadFileINI(*state, marks, prompter);
        std::printf("com=%d\n", state->ComPort);
    } else {
        state->ComPort = 3;
        const nuvora::SaveResult saved = settings.SaveFileINI(*state);
        std::printf("save=%d|%d|%s\n", saved.ok ? 1 : 0, saved.error, qPrintable(saved.reason));
    }
    return 0;
}
