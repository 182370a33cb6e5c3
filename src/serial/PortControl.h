#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace nuvora {

class SerialLine;

// Opens the serial line on a port number: SetCom (reopen) and OpenCom (make sure it is open
// before a run). Failures are results; the commands decide what the operator sees.
class PortControl {
public:
    // Port number -> device; the default follows PortDevice() in the program folder.
    using Resolver = std::function<QString(int)>;

    PortControl(SerialLine &line, const QString &programFolder);

    // Closes the line and opens it on the port; false when it would not open.
    bool SetCom(std::int16_t port);
    // 0 when the port is open afterwards, -1 when it would not open.
    std::int16_t OpenCom(const std::int16_t &port);
    void CloseCom();

    SerialLine &line() { return m_line; }
    const SerialLine &line() const { return m_line; }
    // Why the last open failed, in one line (empty after a success).
    QString lastFailure() const { return m_lastFailure; }
    // True when the last failed open has a reason the operator can act on (a busy port, or a
    // missing dialout membership).
    bool reasonActionable() const;
    // A box text after a failed open: the given text, and below it such a reason.
    QString withReason(const QString &text) const;
    // nuvora-cli uses this to reach a device that has no number of its own.
    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }

private:
    bool openPort(std::int16_t port);

    SerialLine &m_line;
    Resolver m_resolver;
    QString m_lastFailure;
};

} // namespace nuvora
