#pragma once

namespace nuvora {

// The lines of a language file that the program shows, by their line number (LangText index).
constexpr int kTextFileMenu = 1;     // File menu title
constexpr int kTextLoadItem = 2;     // File > Load
constexpr int kTextLanguageMenu = 4; // Language menu title
constexpr int kTextStart = 6;        // the Start button
constexpr int kTitleError = 8;       // title of the error boxes
constexpr int kTextNoDevice = 9;     // the device does not answer the probe
constexpr int kTextWriteFailed = 10; // a write frame was not acknowledged
constexpr int kTextLoadFailed = 11;  // a Load failed, the error number follows
constexpr int kTextNoImageData = 16; // the file holds no usable S2 data
constexpr int kTitleDone = 18;       // title of the success box
constexpr int kTextDone = 19;        // the image has been written

} // namespace nuvora
