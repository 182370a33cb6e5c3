#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>

namespace nuvora {

struct AppState;
class RunView;
class SerialLine;

// One request frame and the device's answer to it, as a state machine woken by the line and
// by a deadline timer: up to five attempts of one second each, then the answer is checked.
// The result comes by the finished() signal, never by a nested wait.
class FrameExchange : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDeadline{1000};
    static constexpr int kAttemptsPerSet = 5;
    // A device that keeps rejecting a write would otherwise keep the run going for ever.
    static constexpr int kMaxAttemptSets = 5;

    FrameExchange(AppState &state, SerialLine &line, RunView &view, QObject *parent = nullptr);

    // Unit tests shorten the wait for an answer.
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    std::chrono::milliseconds deadline() const { return m_deadline; }

    // Starts one exchange; finished() follows, also when it fails at once. Returns false (and
    // emits nothing) when an exchange is already under way.
    bool ExchangeFrame(bool write, std::uint8_t command, std::int32_t address,
                       std::uint8_t lengthField);
    bool busy() const { return m_stage != Stage::Idle; }
    // Attempts made in this exchange, over all attempt sets.
    int attemptsMade() const { return m_attemptsMade; }
    // The data bytes (length field + 1) of the read answer the last exchange accepted; empty
    // after a write, a failure, or while an exchange is under way.
    QByteArray readData() const;

signals:
    void finished(bool accepted);

private:
    enum class Stage { Idle, Waiting, Finishing };

    void startAttemptSet();
    void sendAttempt();
    void onWake();
    void onLineLost();
    void attemptEnded(bool answered);
    void finish(bool accepted);
    void finishLater(bool accepted);
    qint64 deadlineNs() const;

    AppState &m_state;
    QPointer<SerialLine> m_line;
    RunView &m_view;
    QTimer m_deadlineTimer;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_deadline = kDeadline;
    Stage m_stage = Stage::Idle;
    bool m_write = false;
    std::uint8_t m_lengthField = 0;
    qint64 m_deadlineAtNs = 0;
    int m_attemptSets = 0;
    int m_attemptsMade = 0;
    bool m_readAccepted = false;
};

} // namespace nuvora
