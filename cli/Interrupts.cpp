#include "Interrupts.h"

#include "CommandLine.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace nuvora::cli {

#ifdef Q_OS_LINUX

namespace {
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

Interrupts::Interrupts(std::function<void(int)> interrupted) : m_interrupted(std::move(interrupted))
{
    // Blocked, the signals wait in the descriptor instead of ending the process; no handler
    // runs inside an arbitrary instruction of ours.
    const sigset_t set = stopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    m_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Interrupts::onSignal);
}

Interrupts::~Interrupts()
{
    m_notifier.reset();
    if (m_fd >= 0) {
        // A signal that came after the runs ended has nothing left to stop: it must not end
        // the process once unblocked.
        signalfd_siginfo info;
        while (::read(m_fd, &info, sizeof info) > 0) {
        }
        ::close(m_fd);
        const sigset_t set = stopSignals();
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}

void Interrupts::onSignal()
{
    signalfd_siginfo info;
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info))
        m_interrupted(++m_count);
}

#else

Interrupts::Interrupts(std::function<void(int)> interrupted) : m_interrupted(std::move(interrupted))
{
}
Interrupts::~Interrupts() = default;
void Interrupts::onSignal() {}

#endif

QString interruptedText(int count)
{
    return linePrefix({}) +
           (count > 1 ? QStringLiteral("error: interrupted again: stopped at once, a frame may "
                                       "be cut short")
                      : QStringLiteral("warning: interrupted: stopping after the frame under way "
                                       "(interrupt again to stop at once)"));
}

} // namespace nuvora::cli
