#pragma once

#include <QString>

namespace nuvora {

// "Rev. M.m.r": r is 0 for revision 0, otherwise "Beta" and the revision number.
QString versionText(int major, int minor, int revision);

// This build's version as the About box shows it, and as --version prints it.
QString programVersionText();

// The line --version prints: the program, the About box's text and the plain numbers that
// packages go by: "nuvora-cli Rev. 1.0.Beta10 (1.0.10)".
QString versionLine(const QString &program);

} // namespace nuvora
