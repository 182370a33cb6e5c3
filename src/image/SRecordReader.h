#pragma once

#include "base/AppState.h"
#include "base/FileErrors.h"

#include <QString>

namespace nuvora {

// What became of one image load.
struct LoadOutcome {
    enum class Kind { Loaded, Rejected, Error };
    Kind kind = Kind::Error;
    int error = 0;  // Error only: 9, 13, or a file-layer number (53, 70, 75, 57)
    QString reason; // Error only: a human sentence for terminals ("file not found: X")
    bool loaded() const { return kind == Kind::Loaded; }
};

// Erases ImageBuffer to 0xFF and fills it from the file's S2 records; sets ImageEnd.
// Rejected: no usable data (the caller warns the operator); Error: the number and the reason.
LoadOutcome LoadFileMHX(AppState &state, const QString &path);

} // namespace nuvora
