#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nuvora {

struct AppState;
class ComMenuMarks;
class PortControl;
class Prompter;
class SettingsFile;

// SetCom, and the operator's box when the port will not open.
void SetCom(PortControl &port, std::int16_t number, Prompter &prompter);

// The Com menu's click handlers: COM1..COM4 or the USB adapter's port becomes the chosen port,
// is reopened at once and saved in the settings file.
class PortMenu {
public:
    // The adapter's port name such as "COM7", "" when there is none.
    using UsbLookup = std::function<std::string()>;

    // Without a lookup the product's own (registry or sysfs) is used.
    PortMenu(AppState &state, ComMenuMarks &marks, PortControl &port, const SettingsFile &settings,
             Prompter &prompter, UsbLookup usbLookup = {});

    // Replaces the adapter lookup (tests stand in an adapter); empty restores the product's.
    void setUsbLookup(UsbLookup usbLookup);

    void mnuCox_Click(int index); // index 1..4
    void mnuUSB_Click();

private:
    void clearMarks();
    void saveSettings();

    AppState &m_state;
    ComMenuMarks &m_marks;
    PortControl &m_port;
    const SettingsFile &m_settings;
    Prompter &m_prompter;
    UsbLookup m_usbLookup;
};

} // namespace nuvora
