#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace nuvora::cli {

// Ctrl-C and SIGTERM as events of the event loop: each calls `interrupted` with the number of
// them so far, so that the first can stop the runs gently and a second at once. On Linux the
// signals come through a signalfd; elsewhere they keep their default effect.
class Interrupts : public QObject {
    Q_OBJECT
public:
    explicit Interrupts(std::function<void(int count)> interrupted);
    ~Interrupts() override;

private:
    void onSignal();

    std::function<void(int)> m_interrupted;
    int m_fd = -1;
    int m_count = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The line a terminal user reads on the `count`th interrupt: the first stops after the frame
// under way, a second ends at once (the caller then exits with the interrupted status).
QString interruptedText(int count);

} // namespace nuvora::cli
