#pragma once

#include "base/LampState.h"

namespace nuvora {

// What a programming run needs of its front end: the busy state, the progress bar and the
// activity lamps. The window implements it with widgets, nuvora-cli with a terminal line.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void DisableCommands() = 0;
    virtual void EnableCommands() = 0;
    virtual void setProgressMax(double max) = 0;
    virtual void setProgressValue(double value) = 0;
    virtual void SetLamp(LampState state) = 0;
    // The image is written and is now read back: the progress starts over for that pass.
    virtual void beginReadBack() {}
};

// A front end that shows nothing: for runs measured or driven by a program.
class SilentRunView : public RunView {
public:
    void DisableCommands() override {}
    void EnableCommands() override {}
    void setProgressMax(double) override {}
    void setProgressValue(double) override {}
    void SetLamp(LampState) override {}
};

} // namespace nuvora
