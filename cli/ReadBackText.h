#pragma once

#include "transfer/ProgrammingRun.h"

#include <QString>

#include <cstdint>

namespace nuvora::cli {

// An address as the image names it: image index `index` of an image whose index 0 is at
// `firstAddress`, in hex.
QString imageAddress(std::uint32_t firstAddress, std::int64_t index);

// What the check after the writes found, to follow a run's figures ("; ..."); empty when the
// run was not asked to verify or did not get that far.
QString readBackNote(const ProgrammingRun &run, RunOutcome outcome, std::uint32_t firstAddress);

} // namespace nuvora::cli
