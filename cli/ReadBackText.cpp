#include "ReadBackText.h"

namespace nuvora::cli {

QString imageAddress(std::uint32_t firstAddress, std::int64_t index)
{
    const qint64 address = qint64(firstAddress) + index;
    return QStringLiteral("0x") +
           QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString readBackNote(const ProgrammingRun &run, RunOutcome outcome, std::uint32_t firstAddress)
{
    const PageReads &reads = run.readBack();
    if (!run.verify() || reads.length() == 0)
        return {};
    switch (outcome) {
    case RunOutcome::Success:
        return QStringLiteral("; %1 bytes read back, no difference").arg(reads.length());
    case RunOutcome::VerifyFailed: {
        const ReadBackDifference d = run.difference();
        return QStringLiteral("; first difference at %1, %2 of %3 bytes read back differ")
            .arg(imageAddress(firstAddress, d.first))
            .arg(d.count)
            .arg(reads.length());
    }
    case RunOutcome::ReadBackFailed:
        return QStringLiteral("; the read frame at %1 was not answered, %2 of %3 bytes read back")
            .arg(imageAddress(firstAddress, reads.address()))
            .arg(reads.bytes().size())
            .arg(reads.length());
    case RunOutcome::Interrupted:
        return QStringLiteral("; check stopped, %1 of %2 bytes read back")
            .arg(reads.bytes().size())
            .arg(reads.length());
    default:
        return {};
    }
}

} // namespace nuvora::cli
