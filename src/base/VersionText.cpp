#include "base/VersionText.h"

#include "Version.h"

namespace nuvora {

QString versionText(int major, int minor, int revision)
{
    const QString r = revision == 0 ? QStringLiteral("0") : QStringLiteral("Beta%1").arg(revision);
    return QStringLiteral("Rev. %1.%2.%3").arg(major).arg(minor).arg(r);
}

QString programVersionText()
{
    return versionText(kVersionMajor, kVersionMinor, kVersionRevision);
}

QString versionLine(const QString &program)
{
    return QStringLiteral("%1 %2 (%3.%4.%5)")
        .arg(program, programVersionText())
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision);
}

} // namespace nuvora
