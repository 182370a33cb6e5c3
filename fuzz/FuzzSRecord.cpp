// Any byte sequence as an image file: the reader must end in one of its three outcomes, and a
// loaded image must leave nothing behind its end, also not from the input before.
#include "FuzzSupport.h"
#include "base/AppState.h"
#include "commands/LoadCommands.h"

#include <algorithm>
#include <memory>

using namespace nuvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // One state for the whole run, as in the window: every load must start from scratch.
    static const auto state = std::make_unique<AppState>();
    const QString path = fuzz::writeInput(QStringLiteral("input.mhx"), data, size);
    fuzz::CountingPrompter prompter;
    const LoadOutcome outcome = LoadImageFile(*state, path, prompter);
    switch (outcome.kind) {
    case LoadOutcome::Kind::Loaded: {
        fuzz::expect(prompter.shown == 0, "a successful load showed a box");
        fuzz::expect(state->ImageEnd >= 0 && state->ImageEnd < kImageSize,
                     "ImageEnd outside the buffer after a load");
        const auto tail = state->ImageBuffer.begin() + state->ImageEnd + 1;
        fuzz::expect(
            std::all_of(tail, state->ImageBuffer.end(), [](std::uint8_t b) { return b == 0xFF; }),
            "bytes behind ImageEnd are not erased");
        break;
    }
    case LoadOutcome::Kind::Rejected:
        fuzz::expect(prompter.shown == 1 && prompter.lastStyle == kStyleExclamation,
                     "a rejected load must show exactly one warning");
        break;
    case LoadOutcome::Kind::Error:
        fuzz::expect(prompter.shown == 0, "an error showed a box of its own");
        fuzz::expect(outcome.error == 9 || outcome.error == 13,
                     "a readable file gave a file-layer error");
        fuzz::expect(!outcome.reason.isEmpty(), "an error without a reason");
        break;
    }
    return 0;
}
