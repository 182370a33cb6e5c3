#pragma once

#include "base/RunView.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

namespace nuvora::test {

// Records what a programming run asks of its front end, in order, as short lines
// ("disable", "max 34", "value 16", "lamp 4", "enable"); lamps lit are also kept as letters:
// T, R, E for Tx, Rx, Err (t, r, e when put out).
class RecordingRunView : public RunView {
public:
    void DisableCommands() override { calls << QStringLiteral("disable"); }
    void EnableCommands() override { calls << QStringLiteral("enable"); }
    void setProgressMax(double max) override
    {
        calls << QStringLiteral("max %1").arg(progressMax = max);
    }
    void setProgressValue(double value) override
    {
        calls << QStringLiteral("value %1").arg(value);
        values.append(value);
    }
    void SetLamp(LampState state) override
    {
        lamps += QLatin1Char("treTRE"[static_cast<int>(state) - 1]);
        calls << QStringLiteral("lamp %1").arg(static_cast<int>(state));
    }
    QStringList withoutLamps() const
    {
        return QStringList(calls).filter(QRegularExpression("^(?!lamp)"));
    }

    QStringList calls;
    QString lamps;
    QList<double> values;
    double progressMax = 0;
};

} // namespace nuvora::test
