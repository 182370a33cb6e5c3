#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

namespace nuvora {

class SerialLine;

// Is a device on this line? One probe read frame, a single attempt: a station looks at its
// idle ports with it once a second, so that it learns quickly when a device is plugged in or
// taken away, without the five attempts a run allows.
class PresenceProbe : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDeadline{1000};

    explicit PresenceProbe(SerialLine &line, QObject *parent = nullptr);

    // Sends the probe on the open line; finished() follows, also when the line refuses it.
    // Does nothing while a probe is under way.
    void start();
    bool busy() const { return m_waiting; }
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }

signals:
    void finished(bool answered);

private:
    void onWake();
    void finish(bool answered);

    QPointer<SerialLine> m_line;
    QTimer m_deadlineTimer;
    std::chrono::milliseconds m_deadline = kDeadline;
    bool m_waiting = false;
};

} // namespace nuvora
