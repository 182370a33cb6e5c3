#pragma once

#include <QString>

#include <functional>

namespace nuvora {

// The host program, started again in the folder above the program folder when we close.
inline const QString kHostProgram = QStringLiteral("DUVODORUVI.EXE");

// What the shutdown does to the world outside, replaceable so that tests can record it.
struct ShutdownActions {
    std::function<bool()> closePort;                    // false: the port failed to close
    std::function<bool(const QString &path)> startHost; // false: it could not be started
    std::function<void()> endProcess;                   // does not return in production
};

// The production host start (QProcess::startDetached) and immediate exit; the port is closed
// by whoever owns it.
ShutdownActions systemShutdownActions();

// The host's path: the program folder's parent and the host's name joined as plain text, so a
// program folder at the root gives a doubled separator.
QString hostPath(const QString &programFolder);

// Form_Unload: close the port, start the host if it exists and is executable, end the process.
// A failed step skips the following ones up to the end of the process, without a message.
void Form_Unload(const QString &programFolder, const ShutdownActions &actions);

} // namespace nuvora
