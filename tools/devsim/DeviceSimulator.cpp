#include "DeviceSimulator.h"

#include "transfer/FrameProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace nuvora::devsim {

namespace {

constexpr int kBitsPerByte = 10; // start + 8 data + stop
constexpr std::chrono::nanoseconds kTimerSlack{1000};
// A sleeping thread wakes up to a few hundred microseconds late here (idle states, virtual
// machines), which a paced line would bill to the host as if the line were slower. So a paced
// answer is slept for until this margin before it is due, and the rest is spun.
constexpr std::chrono::microseconds kSpinMargin{400};
// For the same reason a paced line spins for the host's next request this long after an answer:
// a real UART holds the request's first byte as soon as the host sends it.
constexpr std::chrono::microseconds kListenSpin{300};

std::string errnoText(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

void makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

int pollUntil(pollfd *fds, nfds_t count, std::chrono::steady_clock::time_point until)
{
    timespec ts{};
    timespec *timeout = nullptr;
    if (until != std::chrono::steady_clock::time_point::max()) {
        const auto left = std::max(std::chrono::steady_clock::duration::zero(),
                                   until - std::chrono::steady_clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        timeout = &ts;
    }
    return ::ppoll(fds, count, timeout, nullptr);
}

} // namespace

DeviceSimulator::DeviceSimulator(const SimOptions &options) : m_options(options)
{
    m_eeprom.fill(0xFF);
}

DeviceSimulator::~DeviceSimulator()
{
    stop();
}

bool DeviceSimulator::start(std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        closeMaster();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail(errnoText("posix_openpt"));
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(errnoText("grantpt/unlockpt"));
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(errnoText("ptsname"));
    m_slavePath = name;
    m_slaveKeep = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveKeep < 0)
        return fail(errnoText("open slave"));
    makeRaw(m_slaveKeep);
    makeRaw(m_master);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(errnoText("pipe"));
    m_thread = std::thread([this] { run(); });
    return true;
}

void DeviceSimulator::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopRequested = true;
        }
        wake();
        m_thread.join();
    }
    closeMaster();
    if (m_slaveKeep >= 0) {
        ::close(m_slaveKeep);
        m_slaveKeep = -1;
    }
    for (int &fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

std::vector<std::uint8_t> DeviceSimulator::eeprom() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_eeprom.begin(), m_eeprom.end()};
}

void DeviceSimulator::setEeprom(const std::vector<std::uint8_t> &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_eeprom.fill(0xFF);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), kEepromSize), m_eeprom.begin());
}

SimStats DeviceSimulator::stats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

std::vector<std::vector<std::uint8_t>> DeviceSimulator::requestLog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

void DeviceSimulator::inject(const std::vector<std::uint8_t> &bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_toInject.insert(m_toInject.end(), bytes.begin(), bytes.end());
    }
    wake();
}

bool DeviceSimulator::waitForRequests(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_stats.requests >= count; });
}

void DeviceSimulator::hangUp()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hangUpRequested = true;
    }
    wake();
}

void DeviceSimulator::wake()
{
    if (m_wakePipe[1] >= 0) {
        const char c = 1;
        (void)!::write(m_wakePipe[1], &c, 1);
    }
}

DeviceSimulator::Clock::duration DeviceSimulator::byteTime() const
{
    if (m_options.baud <= 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(1'000'000'000LL * kBitsPerByte / m_options.baud));
}

void DeviceSimulator::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void DeviceSimulator::run()
{
    // Paced answers are due to the microsecond; the default 50 us slack would add up.
    ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(kTimerSlack.count()));
    for (;;) {
        if (!takeRequests())
            return;
        sendDueAnswers();
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {m_master, POLLIN, 0}};
        const nfds_t count = m_master >= 0 ? 2 : 1;
        // Sleep until input, a wake-up, the next answer, or the end of a partial frame's grace.
        const int ready = pollUntil(fds, count, wakeUpAt());
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && (fds[1].revents & POLLIN))
            receive(Clock::now());
        else if (ready == 0 && !m_rx.empty() && m_pending.empty() && !listening())
            dropUnfinishedHead();
    }
}

bool DeviceSimulator::takeRequests()
{
    std::vector<std::uint8_t> inject;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopRequested)
            return false;
        if (m_hangUpRequested && m_master >= 0)
            hangUpLocked();
        inject.swap(m_toInject);
    }
    if (!inject.empty())
        sendAll(inject);
    return true;
}

void DeviceSimulator::hangUpLocked()
{
    closeMaster();
    m_stats.hungUp = true;
    m_pending.clear();
    m_changed.notify_all();
}

void DeviceSimulator::sendDueAnswers()
{
    if (m_options.baud > 0 && !m_pending.empty() &&
        m_pending.front().due - Clock::now() <= kSpinMargin) {
        while (Clock::now() < m_pending.front().due) {
        }
    }
    const auto now = Clock::now();
    while (!m_pending.empty() && m_pending.front().due <= now) {
        PendingAnswer answer = std::move(m_pending.front());
        m_pending.pop_front();
        sendAll(answer.bytes);
        if (m_options.baud > 0 && m_options.listenSpin)
            m_listenUntil = Clock::now() + kListenSpin;
        if (answer.hangUpAfter) {
            std::lock_guard<std::mutex> lock(m_mutex);
            hangUpLocked();
        }
    }
}

DeviceSimulator::Clock::time_point DeviceSimulator::wakeUpAt() const
{
    Clock::time_point until = Clock::time_point::max();
    if (!m_pending.empty())
        until = m_pending.front().due - (m_options.baud > 0 ? kSpinMargin : Clock::duration{});
    if (!m_rx.empty())
        until = std::min(until, Clock::now() + m_options.interByteGap);
    if (listening())
        until = std::min(until, Clock::now());
    return until;
}

bool DeviceSimulator::listening() const
{
    return m_master >= 0 && Clock::now() < m_listenUntil;
}

void DeviceSimulator::dropUnfinishedHead()
{
    // Nothing more came: the head cannot be finished into a frame. Drop it byte by byte so
    // that a whole frame hiding behind a stray byte is still found.
    while (!m_rx.empty()) {
        m_rx.erase(m_rx.begin());
        m_rxStamp.erase(m_rxStamp.begin());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_stats.discardedBytes;
        }
        parseFrames();
    }
}

void DeviceSimulator::receive(Clock::time_point now)
{
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        // On a paced line byte k of a burst finishes arriving k byte-times after the first.
        const auto tick = byteTime();
        for (ssize_t i = 0; i < n; ++i) {
            m_lineFree = std::max(m_lineFree, now) + tick;
            m_rx.push_back(buffer[i]);
            m_rxStamp.push_back(m_lineFree);
        }
        if (static_cast<std::size_t>(n) < sizeof buffer)
            break; // drained: spare the read that would only say so
    }
    parseFrames();
}

void DeviceSimulator::parseFrames()
{
    std::size_t start = 0;
    int dropped = 0;
    while (start < m_rx.size()) {
        const auto length = static_cast<std::size_t>(protocol::requestBytes(m_rx[start]));
        if (m_rx.size() - start < length)
            break;
        const std::uint8_t *bytes = m_rx.data() + start;
        const auto request = protocol::parseRequest(bytes, length);
        if (!request) {
            // Not a frame: slide by one byte and look again.
            ++start;
            ++dropped;
            continue;
        }
        handleFrame(bytes, *request, m_rxStamp[start + length - 1]);
        start += length;
    }
    m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<long>(start));
    m_rxStamp.erase(m_rxStamp.begin(), m_rxStamp.begin() + static_cast<long>(start));
    if (dropped) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stats.discardedBytes += dropped;
    }
}

void DeviceSimulator::logRequest(const std::uint8_t *bytes, std::size_t size)
{
    if (m_options.logFrames == 0)
        return;
    if (m_log.size() == m_options.logFrames)
        m_log.pop_front();
    m_log.emplace_back(bytes, bytes + size);
}

std::vector<std::uint8_t> DeviceSimulator::storePage(const protocol::ParsedRequest &request)
{
    ++m_stats.writes;
    for (int i = 0; i <= request.lengthField; ++i) {
        const int address = (request.address + i) % kEepromSize;
        // A worn cell: the write is acknowledged, yet the byte does not hold.
        const bool worn = m_options.corruptAt >= 0 && address >= m_options.corruptAt &&
                          address < m_options.corruptAt + m_options.corruptCount;
        m_eeprom[static_cast<std::size_t>(address)] =
            worn ? static_cast<std::uint8_t>(~request.page[i]) : request.page[i];
    }
    const protocol::Answer answer = protocol::writeAnswer(request.checksum);
    return {answer.bytes.begin(), answer.bytes.begin() + answer.size};
}

std::vector<std::uint8_t> DeviceSimulator::readPage(const protocol::ParsedRequest &request)
{
    ++m_stats.reads;
    std::array<std::uint8_t, protocol::kPageBytes> data{};
    for (int i = 0; i <= request.lengthField; ++i)
        data[static_cast<std::size_t>(i)] =
            m_eeprom[static_cast<std::size_t>((request.address + i) % kEepromSize)];
    const protocol::Answer answer = protocol::readAnswer(data.data(), request.lengthField);
    return {answer.bytes.begin(), answer.bytes.begin() + answer.size};
}

void DeviceSimulator::handleFrame(const std::uint8_t *bytes, const protocol::ParsedRequest &request,
                                  Clock::time_point end)
{
    std::vector<std::uint8_t> answer;
    int requestNumber = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        requestNumber = ++m_stats.requests;
        logRequest(bytes, static_cast<std::size_t>(protocol::requestBytes(bytes[0])));
        answer = request.write ? storePage(request) : readPage(request);
        m_changed.notify_all();
    }
    // Requests before the fault's moment get a perfect device's answers.
    const int n = requestNumber - (m_options.faultAt - 1);
    if (n < 1) {
        queueAnswer(std::move(answer), request.write, end, false);
        return;
    }
    if (request.write)
        ++m_faultWrites;
    if (request.write && (m_options.badAckAlways || m_faultWrites <= m_options.badAckFirst))
        ++answer[0];
    if (!request.write && m_options.badReadChecksum)
        ++answer.back();
    if (n <= m_options.shortFirst)
        answer.pop_back();
    const bool hangUp = m_options.hangUpAfter >= 0 && n >= m_options.hangUpAfter;
    const bool quiet = m_options.silent || n <= m_options.ignoreFirst ||
                       (m_options.silentAfter >= 0 && n > m_options.silentAfter);
    if (quiet && !hangUp)
        return;
    if (quiet)
        answer.clear();
    else
        answer.insert(answer.end(), static_cast<std::size_t>(m_options.staleBytes),
                      std::uint8_t{0x5A});
    // A late answer is given up when the next request comes: the device starts over, so the
    // answer to a timed-out attempt never lands in the next attempt's wait.
    if (m_options.lateBy.count() > 0)
        m_pending.clear();
    queueAnswer(std::move(answer), request.write, end + m_options.lateBy, hangUp);
}

void DeviceSimulator::queueAnswer(std::vector<std::uint8_t> bytes, bool write,
                                  Clock::time_point end, bool hangUp)
{
    PendingAnswer answer;
    answer.bytes = std::move(bytes);
    auto due = std::max(end, Clock::now());
    if (write)
        due += m_options.pageWriteTime;
    // The answer is complete once its last byte has crossed the line.
    due += byteTime() * static_cast<long>(answer.bytes.size());
    answer.due = due;
    answer.hangUpAfter = hangUp;
    if (!answer.bytes.empty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stats.answered;
    }
    m_pending.push_back(std::move(answer));
}

void DeviceSimulator::sendAll(const std::vector<std::uint8_t> &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            pollfd fd{m_master, POLLOUT, 0};
            ::poll(&fd, 1, 100);
            continue;
        }
        return;
    }
}

} // namespace nuvora::devsim
