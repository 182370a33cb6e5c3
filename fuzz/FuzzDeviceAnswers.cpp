// A device that answers every request with bytes the fuzzer chooses: wrong lengths, wrong
// acknowledgements, garbage, silence. The whole programming run must end, with an outcome that
// fits what was sent and answered, and never more attempts than the retry rules allow.
#include "FuzzSupport.h"
#include "base/AppState.h"
#include "base/RunView.h"
#include "commands/StartCommand.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/FrameExchange.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace nuvora;

namespace {

constexpr int kImageBytes = 40; // two full frames and a last one
constexpr int kFrames = 3;
constexpr int kAttemptsPerSet = 5;
constexpr int kSetsPerWrite = 5;
constexpr std::chrono::milliseconds kShortDeadline{3};

// The far end of a pseudo-terminal, answering each whole request with the input's next chunk
// (a length byte, then that many bytes, at most 7).
class ScriptedDevice {
public:
    ScriptedDevice(int master, const std::uint8_t *data, std::size_t size)
        : m_master(master), m_data(data), m_size(size), m_notifier(master, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { receive(); });
    }
    int requests = 0;
    int writes = 0;
    int mostSends = 0; // the most times one request came in a row

private:
    void receive()
    {
        std::uint8_t buffer[256];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            if (m_pending.isEmpty())
                m_expected = (buffer[i] & 0x80) ? 21 : 5;
            m_pending.append(char(buffer[i]));
            if (m_pending.size() == m_expected) {
                ++requests;
                writes += m_expected == 21;
                m_sends = m_pending == m_last ? m_sends + 1 : 1;
                mostSends = std::max(mostSends, m_sends);
                m_last = m_pending;
                m_pending.clear();
                answer();
            }
        }
    }
    void answer()
    {
        if (m_pos >= m_size)
            return; // silence from here on
        const std::size_t wanted = m_data[m_pos] & 7;
        ++m_pos;
        const std::size_t length = std::min(wanted, m_size - m_pos);
        if (length > 0 && ::write(m_master, m_data + m_pos, length) != ssize_t(length))
            fuzz::broken("cannot answer on the pseudo-terminal");
        m_pos += length;
    }

    int m_master;
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
    QByteArray m_last;
    int m_sends = 0;
    int m_expected = 0;
};

int openMaster(QString *slave)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        fuzz::broken("no pseudo-terminal");
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0)
        fuzz::broken("no pseudo-terminal name");
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    *slave = QString::fromLocal8Bit(name);
    return master;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_device";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QString slave;
    const int master = openMaster(&slave);
    auto state = std::make_unique<AppState>();
    state->ImageBuffer.fill(0xFF);
    for (int i = 0; i < kImageBytes; ++i)
        state->ImageBuffer[std::size_t(i)] = std::uint8_t(i * 37);
    state->ImageEnd = kImageBytes - 1;
    state->ComPort = 1;

    std::optional<RunOutcome> outcome;
    {
        SerialLine line;
        fuzz::CountingPrompter prompter;
        SilentRunView view;
        PortControl port(line, QString());
        port.setResolver([slave](int) { return slave; });
        ProgrammingRun run(*state, port, view);
        ShowOutcomeBoxes(run, *state, port, prompter);
        run.exchange().setDeadline(kShortDeadline);
        ScriptedDevice device(master, data, size);
        QObject::connect(&run, &ProgrammingRun::finished, [&](RunOutcome o) {
            outcome = o;
            QCoreApplication::exit();
        });
        // Far longer than the slowest run the retry rules allow with this deadline.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(); });
        watchdog.start(std::chrono::seconds(10));
        QTimer::singleShot(0, &run, &ProgrammingRun::start);
        QCoreApplication::exec();

        fuzz::expect(outcome.has_value(), "the run never ended");
        fuzz::expect(prompter.shown == 1, "a run must end with exactly one box");
        const int maxRequests = kAttemptsPerSet + kFrames * kSetsPerWrite * kAttemptsPerSet;
        fuzz::expect(device.requests <= maxRequests, "more attempts than the rules allow");
        fuzz::expect(device.mostSends <= kSetsPerWrite * kAttemptsPerSet,
                     "one frame sent more often than its attempt sets allow");
        switch (*outcome) {
        case RunOutcome::Success:
            fuzz::expect(state->ProgressCount == kImageBytes, "success before the whole image");
            fuzz::expect(device.writes >= kFrames, "success without every frame sent");
            break;
        case RunOutcome::ProbeFailed:
            fuzz::expect(device.writes == 0, "a write frame after a failed probe");
            break;
        case RunOutcome::WriteFailed:
            fuzz::expect(state->ProgressCount < kImageBytes && state->ProgressCount % 16 == 0,
                         "a failed write counted as progress");
            break;
        case RunOutcome::PortFailed:
            fuzz::broken("the pseudo-terminal would not open");
        case RunOutcome::Interrupted:
            fuzz::broken("interrupted although nobody asked the run to stop");
        case RunOutcome::VerifyFailed:
        case RunOutcome::ReadBackFailed:
            fuzz::broken("a check of the pages although none was asked for");
        }
    }
    ::close(master);
    return 0;
}
