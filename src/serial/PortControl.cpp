#include "serial/PortControl.h"

#include "serial/PortNames.h"
#include "serial/SerialLine.h"

namespace nuvora {

PortControl::PortControl(SerialLine &line, const QString &programFolder)
    : m_line(line), m_resolver([programFolder](int n) { return PortDevice(n, programFolder); })
{
}

bool PortControl::SetCom(std::int16_t port)
{
    m_line.close();
    return openPort(port);
}

bool PortControl::reasonActionable() const
{
    return m_line.failure() == OpenFailure::PermissionDenied ||
           m_line.failure() == OpenFailure::Busy;
}

QString PortControl::withReason(const QString &text) const
{
    return reasonActionable() ? text + QStringLiteral("\n") + m_lastFailure : text;
}

std::int16_t PortControl::OpenCom(const std::int16_t &port)
{
    if (m_line.isOpen())
        return 0;
    return openPort(port) ? 0 : -1;
}

void PortControl::CloseCom()
{
    m_line.close();
}

bool PortControl::openPort(std::int16_t port)
{
    if (m_line.open(m_resolver(port))) {
        m_lastFailure.clear();
        return true;
    }
    m_lastFailure = m_line.failureText();
    return false;
}

} // namespace nuvora
