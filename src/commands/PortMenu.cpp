#include "commands/PortMenu.h"

#include "base/AppState.h"
#include "base/Prompter.h"
#include "commands/ComMenuMarks.h"
#include "commands/SettingsCommands.h"
#include "serial/GetUSBT.h"
#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"

namespace nuvora {

namespace {

constexpr int kFirstComItem = 1;

const QString kNoUsbText = QStringLiteral("USB port not available") + QChar(13) +
                           QStringLiteral("Please select a different COM port");
const QString kNoUsbTitle = QStringLiteral("Error");
const QString kComNotAvailable = QStringLiteral("Com Not Avaible!Please select a NEW com");
const QString kComErrorTitle = QStringLiteral("Error Com");

} // namespace

void SetCom(PortControl &port, std::int16_t number, Prompter &prompter)
{
    if (!port.SetCom(number))
        prompter.message(port.withReason(kComNotAvailable), kStyleCritical, kComErrorTitle);
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
    if (index < kFirstComItem || index > kComMenuItems)
        return;
    m_state.ComPort = static_cast<std::int16_t>(index);
    clearMarks();
    m_marks.setComChecked(m_state.ComPort, true);
    // A port that will not open is still the chosen one, and saved as such.
    SetCom(m_port, m_state.ComPort, m_prompter);
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
    m_state.ComPort = PortNumberFromName(name);
    m_marks.setUsbChecked(true);
    SetCom(m_port, m_state.ComPort, m_prompter);
    saveSettings();
}

void PortMenu::clearMarks()
{
    for (int k = kFirstComItem; k <= kComMenuItems; ++k)
        m_marks.setComChecked(k, false);
    m_marks.setUsbChecked(false);
}

void PortMenu::saveSettings()
{
    // The choice stays in force for this session even when it cannot be kept for the next.
    (void)SaveSettings(m_settings, m_state, m_prompter);
}

} // namespace nuvora
