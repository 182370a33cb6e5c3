#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace nuvora {

// The frame exchange's own working record, rewritten by every exchange.
struct ComFrameRecord {
    std::uint8_t AddrHi = 0;
    std::uint8_t AddrLo = 0;
    std::uint8_t ReplyLen = 0;
    std::uint8_t Ctrl = 0;
    std::uint8_t Tries = 0;
    std::int16_t Chk = 0;
    std::int32_t Index = 0;
    float Deadline = 0.0f;
    QByteArray RxText;
    QByteArray TxText;
    QByteArray DataText;
};

constexpr int kLangTextSize = 501; // indexes 0..500, line k of the file is entry k
constexpr int kRecentFileCount = 4;
constexpr int kComMenuItems = 4; // COM1..COM4 in the Com menu; the USB item above them
constexpr int kImageSize = 65536;

// The program's one set of shared variables: created zeroed by main, handed by reference to
// whoever needs it, used on the user-interface thread only.
struct AppState {
    std::int16_t ComPort = 0;
    QString LanguageName;
    std::array<QString, kLangTextSize> LangText;
    std::array<QString, kRecentFileCount> RecentFiles;
    QString CurrentFile;
    QString ShownFileName;
    std::array<std::uint8_t, kImageSize> ImageBuffer{};
    std::int32_t ImageEnd = 0;
    std::int32_t ProgressCount = 0;
    ComFrameRecord ComFrame;
};

} // namespace nuvora
