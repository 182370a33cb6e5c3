#pragma once

#include "transfer/RunView.h"

#include <QList>
#include <QStringList>

namespace nuvora::test {

// Records what a programming run asks of its front end, in order, as short lines
// ("disable", "max 34", "value 16", "lamp 4", "enable"), and keeps the current values.
class RecordingRunView : public RunView {
public:
    void DisableCommands() override
    {
        calls << QStringLiteral("disable");
        disabled = true;
    }
    void EnableCommands() override
    {
        calls << QStringLiteral("enable");
        disabled = false;
    }
    void setProgressMax(double max) override
    {
        calls << QStringLiteral("max %1").arg(max);
        progressMax = max;
    }
    void setProgressValue(double value) override
    {
        calls << QStringLiteral("value %1").arg(value);
        progressValue = value;
        values.append(value);
    }
    void SetLamp(LampState state) override
    {
        lamps.append(static_cast<int>(state));
        calls << QStringLiteral("lamp %1").arg(static_cast<int>(state));
    }
    // The calls that are not lamps, which tests compare whole.
    QStringList withoutLamps() const
    {
        QStringList out;
        for (const QString &c : calls)
            if (!c.startsWith(QLatin1String("lamp")))
                out << c;
        return out;
    }
    int lampCount(LampState state) const { return lamps.count(static_cast<int>(state)); }

    QStringList calls;
    QList<int> lamps;
    QList<double> values;
    bool disabled = false;
    double progressMax = 0;
    double progressValue = 0;
};

} // namespace nuvora::test
