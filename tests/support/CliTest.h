#pragma once
// What the nuvora-cli suites share: the program, simulated devices with faults, files, runs.
#include "Fixtures.h"
#include "SimulatedDevice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace nuvora::test {

inline QString cli()
{
    return programPath(QStringLiteral("nuvora-cli"));
}

// "silent-after=2,late-ms=300": a simulated device's faults, by the option names of the program.
inline devsim::SimOptions simFaults(const QString &list)
{
    devsim::SimOptions o;
    const std::map<QString, int *> numbers{
        {"silent-after", &o.silentAfter},  {"ignore-first", &o.ignoreFirst},
        {"bad-ack-first", &o.badAckFirst}, {"baud", &o.baud},
        {"corrupt", &o.corruptAt},         {"count", &o.corruptCount},
        {"fault-at", &o.faultAt}};
    for (const QString &fault : list.split(',', Qt::SkipEmptyParts)) {
        const int n = fault.section('=', 1).toInt();
        if (fault.startsWith("late-ms="))
            o.lateBy = std::chrono::milliseconds(n);
        else
            *numbers.at(fault.section('=', 0, 0)) = n;
    }
    return o;
}

} // namespace nuvora::test
