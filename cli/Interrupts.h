#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace nuvora::cli {

// Ctrl-C and SIGTERM as events of the event loop: the first calls `stop` (the runs end after
// their frame in flight), a second ends the process at once with kExitInterrupted. On Linux
// the signals come through a signalfd; elsewhere they keep their default effect.
class Interrupts : public QObject {
    Q_OBJECT
public:
    explicit Interrupts(std::function<void()> stop);
    ~Interrupts() override;

    bool requested() const { return m_count > 0; }

private:
    void onSignal();

    std::function<void()> m_stop;
    int m_fd = -1;
    int m_count = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace nuvora::cli
