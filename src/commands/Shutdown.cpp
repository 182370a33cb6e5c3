#include "commands/Shutdown.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace nuvora {

ShutdownActions systemShutdownActions()
{
    ShutdownActions actions;
    actions.startHost = [](const QString &path) {
        return QProcess::startDetached(path, {}, QFileInfo(path).absolutePath());
    };
    actions.endProcess = [] {
        // At once: no further event of any window may run, not even a pending frame exchange.
        std::fflush(nullptr);
        std::_Exit(0);
    };
    return actions;
}

QString hostPath(const QString &programFolder)
{
    // The parent of the root is the root itself.
    const QString parent = QFileInfo(QDir::cleanPath(programFolder)).absolutePath();
    return parent + QLatin1Char('/') + kHostProgram;
}

void Form_Unload(const QString &programFolder, const ShutdownActions &actions)
{
    [&] {
        if (actions.closePort && !actions.closePort())
            return;
        if (!QDir::setCurrent(programFolder) || !QDir::setCurrent(QStringLiteral("..")))
            return;
        const QString host = hostPath(programFolder);
        const QFileInfo info(host);
        if (!info.isFile() || !info.isExecutable())
            return;
        if (actions.startHost)
            actions.startHost(host);
    }();
    if (actions.endProcess)
        actions.endProcess();
}

} // namespace nuvora
