#include "commands/PortMenu.h"

#include "base/Prompter.h"
#include "settings/SettingsFile.h"
#include "commands/ComMenuMarks.h"
#include "serial/GetUSBT.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "base/AppState.h"

#include <limits>

namespace nuvora {

namespace {

constexpr int kFirstComItem = 1;
constexpr int kLastComItem = 4;
// The port number starts after "COM".
constexpr std::size_t kNumberOffset = 3;

const QString kNoUsbText = QStringLiteral("USB port not available") + QChar(13) +
                           QStringLiteral("Please select a different COM port");
const QString kNoUsbTitle = QStringLiteral("Error");

} // namespace

std::int16_t PortNumberFromName(const std::string &name)
{
    if (name.size() <= kNumberOffset)
        return 0;
    std::size_t i = kNumberOffset;
    while (i < name.size() && (name[i] == ' ' || name[i] == '\t'))
        ++i;
    long number = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        number = number * 10 + (name[i] - '0');
        if (number > std::numeric_limits<std::int16_t>::max())
            return 0;
    }
    return static_cast<std::int16_t>(number);
}

PortMenu::PortMenu(AppState &state, ComMenuMarks &marks, PortControl &port,
                   const SettingsFile &settings, Prompter &prompter, UsbLookup usbLookup)
    : m_state(state), m_marks(marks), m_port(port), m_settings(settings), m_prompter(prompter)
{
    setUsbLookup(std::move(usbLookup));
}

void PortMenu::setUsbLookup(UsbLookup usbLookup)
{
    m_usbLookup = usbLookup ? std::move(usbLookup) : UsbLookup([] { return GetUSBCom(); });
}

void PortMenu::mnuCox_Click(int index)
{
    if (index < kFirstComItem || index > kLastComItem)
        return;
    m_state.ComPort = static_cast<std::int16_t>(index);
    if (m_port.line().isOpen())
        m_port.CloseCom();
    clearMarks();
    m_marks.setComChecked(m_state.ComPort, true);
    // A port that will not open is still the chosen one, and saved as such.
    m_port.SetCom(m_state.ComPort);
    saveSettings();
}

void PortMenu::mnuUSB_Click()
{
    clearMarks();
    const std::string name = m_usbLookup();
    if (name.empty()) {
        // The old port and the settings stay as they were; nothing is checked until the
        // operator chooses again.
        m_prompter.message(kNoUsbText, kStyleCritical, kNoUsbTitle);
        return;
    }
    if (m_port.line().isOpen())
        m_port.CloseCom();
    m_state.ComPort = PortNumberFromName(name);
    m_marks.setUsbChecked(true);
    m_port.SetCom(m_state.ComPort);
    saveSettings();
}

void PortMenu::clearMarks()
{
    for (int k = kFirstComItem; k <= kLastComItem; ++k)
        m_marks.setComChecked(k, false);
    m_marks.setUsbChecked(false);
}

void PortMenu::saveSettings()
{
    const SaveResult saved = m_settings.SaveFileINI(m_state);
    // The choice stays in force for this session even when it cannot be kept for the next.
    if (!saved.ok)
        m_prompter.message(SettingsFile::describeFailure(saved), kStyleExclamation, kAppTitle);
}

} // namespace nuvora
