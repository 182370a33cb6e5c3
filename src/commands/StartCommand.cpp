#include "commands/StartCommand.h"

#include "base/LangTexts.h"
#include "base/Prompter.h"
#include "serial/PortControl.h"

namespace nuvora {

OutcomeBox outcomeBox(RunOutcome outcome, const AppState &state, const PortControl &port)
{
    const auto text = [&state](int index) { return state.LangText[size_t(index)]; };
    switch (outcome) {
    case RunOutcome::Success:
        return {text(kTextDone), kStyleInformation, text(kTitleDone)};
    case RunOutcome::PortFailed:
        return {port.withReason(QStringLiteral("Communication failure")), kStyleExclamation,
                kAppTitle};
    case RunOutcome::ProbeFailed:
        return {text(kTextNoDevice), kStyleExclamation, text(kTitleError)};
    case RunOutcome::Interrupted:
        // Only a terminal can ask a run to stop, and the language files have no line for it.
        return {QStringLiteral("Programming interrupted: the device holds part of the image."),
                kStyleExclamation, text(kTitleError)};
    case RunOutcome::VerifyFailed:
        // Only a terminal asks for the check, and the language files have no line for it.
        return {QStringLiteral("Verify failed: the EEPROM does not hold the image as it was "
                               "sent."),
                kStyleExclamation, text(kTitleError)};
    case RunOutcome::ReadBackFailed:
        return {QStringLiteral("Verify stopped: the device did not answer a read frame. The "
                               "image was written but not checked."),
                kStyleExclamation, text(kTitleError)};
    case RunOutcome::WriteFailed:
        break;
    }
    return {text(kTextWriteFailed), kStyleExclamation, text(kTitleError)};
}

void ShowOutcomeBoxes(ProgrammingRun &run, const AppState &state, const PortControl &port,
                      Prompter &prompter)
{
    QObject::connect(&run, &ProgrammingRun::outcomeReady, &run,
                     [&state, &port, &prompter](RunOutcome outcome) {
                         const OutcomeBox box = outcomeBox(outcome, state, port);
                         prompter.message(box.text, box.style, box.title);
                     });
}

} // namespace nuvora
