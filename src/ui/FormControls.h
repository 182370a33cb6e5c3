#pragma once

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace nuvora {

// The controls of the working window at their designed places and looks: the file banner
// (Label1) and Start (Command1) on the client area, and the progress bar (ProgressBar1) that
// the status bar takes into its filler panel.
struct FormControls {
    QWidget *client = nullptr;
    QLabel *banner = nullptr;
    QPushButton *start = nullptr;
    QProgressBar *progress = nullptr;
};

// The working window's own look: its font, and a title bar without a maximise button (the
// window has a fixed size).
void dressFormWindow(QWidget &window);

// Builds them as children of window; px turns a length in twips into pixels on its screen.
// statusTwips is the band at the bottom of the designed client area that the status bar takes.
FormControls buildFormControls(QWidget &window, const std::function<int(double)> &px,
                               double statusTwips);

} // namespace nuvora
