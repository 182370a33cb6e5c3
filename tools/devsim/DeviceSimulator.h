#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nuvora::protocol {
struct ParsedRequest;
}

namespace nuvora::devsim {

constexpr int kEepromSize = 65536;

// How the simulated device behaves; the defaults make a perfect device on an unpaced line.
struct SimOptions {
    int baud = 0;                               // 0: no pacing, answer at once
    std::chrono::microseconds pageWriteTime{0}; // added before each write acknowledgement
    int faultAt = 1;                            // request where faults, and their counts, begin
    bool silent = false;                        // never answer
    int ignoreFirst = 0;                        // no answer to the first N requests
    int silentAfter = -1;                       // no answer after the first N (-1: never)
    std::chrono::milliseconds lateBy{0};        // every answer delayed by this much
    int shortFirst = 0;                         // the first N answers lose their last byte
    int badAckFirst = 0;                        // wrong acknowledgement for the first N writes
    bool badAckAlways = false;                  // wrong acknowledgement for every write
    bool badReadChecksum = false;               // read answers carry a wrong checksum
    int staleBytes = 0;                         // junk bytes sent right after every answer
    int hangUpAfter = -1;                       // close the line after N requests (-1: never)
    int corruptAt = -1;     // the byte written at this address is stored inverted (-1: none)
    int corruptCount = 1;   // ... and so are the bytes after it, this many in all
    bool listenSpin = true; // a paced line spins for the host's next request after an answer
    std::chrono::milliseconds interByteGap{50}; // a partial frame older than this is dropped
    std::size_t logFrames = 0;                  // requests kept for requestLog() (0: none)
};

// Counters for tests and the program's report: they stay the same size however long it runs.
struct SimStats {
    int requests = 0; // valid frames received
    int reads = 0;
    int writes = 0;
    int answered = 0;
    int discardedBytes = 0; // garbage dropped while looking for a frame
    bool hungUp = false;
};

// The device at the far end of the serial line: a 64 KiB EEPROM behind a pseudo-terminal,
// played in a thread of its own on the master side. Read frames are answered from the EEPROM,
// write frames stored and acknowledged with twice their checksum; faults on request.
class DeviceSimulator {
public:
    explicit DeviceSimulator(const SimOptions &options = {});
    ~DeviceSimulator();
    DeviceSimulator(const DeviceSimulator &) = delete;
    DeviceSimulator &operator=(const DeviceSimulator &) = delete;

    // Opens the pseudo-terminal and starts the thread; false with a reason on failure.
    bool start(std::string *error = nullptr);
    void stop();
    // The path a serial port opens (e.g. /dev/pts/7).
    std::string slavePath() const { return m_slavePath; }

    std::vector<std::uint8_t> eeprom() const;
    void setEeprom(const std::vector<std::uint8_t> &bytes);
    SimStats stats() const;
    // The latest requests as they came over the line, oldest first (SimOptions::logFrames).
    std::vector<std::vector<std::uint8_t>> requestLog() const;
    // Sends bytes now, unasked, as a device's stray output would arrive.
    void inject(const std::vector<std::uint8_t> &bytes);
    // Blocks until `count` requests arrived or the timeout passed; true when they did.
    bool waitForRequests(int count, std::chrono::milliseconds timeout) const;
    // Ends the line as an unplugged device would.
    void hangUp();

private:
    using Clock = std::chrono::steady_clock;
    struct PendingAnswer {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        bool hangUpAfter = false;
    };

    void run();
    bool takeRequests();
    void hangUpLocked();
    void sendDueAnswers();
    Clock::time_point wakeUpAt() const;
    bool listening() const;
    void dropUnfinishedHead();
    void receive(Clock::time_point now);
    void parseFrames();
    void handleFrame(const std::uint8_t *bytes, const protocol::ParsedRequest &request,
                     Clock::time_point end);
    // These three run with m_mutex held.
    void logRequest(const std::uint8_t *bytes, std::size_t size);
    std::vector<std::uint8_t> storePage(const protocol::ParsedRequest &request);
    std::vector<std::uint8_t> readPage(const protocol::ParsedRequest &request);
    void queueAnswer(std::vector<std::uint8_t> bytes, bool write, Clock::time_point end,
                     bool hangUp);
    void sendAll(const std::vector<std::uint8_t> &bytes);
    void closeMaster();
    Clock::duration byteTime() const;
    void wake();

    SimOptions m_options;
    int m_master = -1;
    int m_slaveKeep = -1; // held open so the master never sees a hang-up between clients
    int m_wakePipe[2] = {-1, -1};
    std::string m_slavePath;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::array<std::uint8_t, kEepromSize> m_eeprom{};
    SimStats m_stats;
    std::deque<std::vector<std::uint8_t>> m_log;
    std::vector<std::uint8_t> m_toInject;
    bool m_stopRequested = false;
    bool m_hangUpRequested = false;

    // Owned by the thread.
    std::vector<std::uint8_t> m_rx;
    std::vector<Clock::time_point> m_rxStamp; // when each byte finished arriving on the line
    Clock::time_point m_lineFree{};
    Clock::time_point m_listenUntil{}; // a paced line looks for the next request by spinning
    std::deque<PendingAnswer> m_pending;
    int m_faultWrites = 0; // write frames since the faults struck
};

} // namespace nuvora::devsim
