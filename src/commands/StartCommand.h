#pragma once

#include "base/AppState.h"
#include "transfer/ProgrammingRun.h"

#include <QString>

namespace nuvora {

class PortControl;
class Prompter;

// The box that tells the operator how a run ended.
struct OutcomeBox {
    QString text;
    int style = 0;
    QString title;
};

// The box for an outcome, with the current language's texts; a port that would not open adds
// the reason the operator can act on.
OutcomeBox outcomeBox(RunOutcome outcome, const AppState &state, const PortControl &port);

// Start and its outcome: each end of the run is shown in its box, before the front end is
// unlocked.
void ShowOutcomeBoxes(ProgrammingRun &run, const AppState &state, const PortControl &port,
                      Prompter &prompter);

} // namespace nuvora
