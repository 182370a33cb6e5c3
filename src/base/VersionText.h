#pragma once

#include <QString>

namespace nuvora {

// "Rev. M.m.r": r is 0 for revision 0, otherwise "Beta" and the revision number.
QString versionText(int major, int minor, int revision);

// This build's version as the About box shows it, and as --version prints it.
QString programVersionText();

} // namespace nuvora
