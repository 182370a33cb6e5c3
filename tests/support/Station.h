#pragma once

#include "base/AppState.h"
#include "commands/StartCommand.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/FrameExchange.h"

#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "RecordingRunView.h"
#include "SimulatedDevice.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace nuvora::test {

// A whole Start press: program folder with a ports/COM7 alias to the simulated device, the
// real port control, run and exchange, a recording front end and prompter. Language texts k
// read "Tk". The device keeps the requests: a whole 64 KiB run and some.
struct Station {
    explicit Station(devsim::SimOptions options = {}, bool linkPort = true)
        : sim((options.logFrames = 8192, startDevice(options))),
          state(std::make_unique<AppState>()), port(line, folder.path()),
          run(std::make_unique<ProgrammingRun>(*state, port, view))
    {
        ShowOutcomeBoxes(*run, *state, port, prompter);
        linkPort7(linkPort ? devicePath(*sim) : folder.filePath("x"));
        if (linkPort)
            port.SetCom(7);
        state->ComPort = 7;
        state->ImageBuffer.fill(0xFF);
        for (int k : {8, 9, 10, 18, 19})
            state->LangText[std::size_t(k)] = QStringLiteral("T%1").arg(k);
    }
    void linkPort7(const QString &target)
    {
        QFile::remove(folder.filePath("ports/COM7"));
        linkPort(folder.path(), 7, target);
    }
    // A random image of n bytes, the rest erased, as a load leaves it.
    QByteArray loadImage(int n)
    {
        const QByteArray image = randomBytes(n, quint32(n));
        std::copy(image.begin(), image.end(), state->ImageBuffer.begin());
        state->ImageEnd = n - 1;
        return image;
    }
    // Presses Start and waits for the end; the outcome, or -1 when none came.
    int start(int timeoutMs = 60000)
    {
        QSignalSpy done(run.get(), &ProgrammingRun::finished);
        run->start();
        if (done.isEmpty() && !done.wait(timeoutMs))
            return -1;
        return int(done.first().first().value<RunOutcome>());
    }
    // The requests as the device received them: the write frames' addresses, -1 for a read.
    QList<int> requestAddresses() const
    {
        QList<int> out;
        for (const auto &f : sim->requestLog())
            out << ((f[0] & 0x80) ? f[2] | (f[3] << 8) : -1);
        return out;
    }
    QList<int> writeAddresses() const
    {
        QList<int> out = requestAddresses();
        out.removeAll(-1);
        return out;
    }

    QTemporaryDir folder;
    std::unique_ptr<devsim::DeviceSimulator> sim;
    std::unique_ptr<AppState> state;
    SerialLine line;
    RecordingPrompter prompter;
    RecordingRunView view;
    PortControl port;
    std::unique_ptr<ProgrammingRun> run;
};

} // namespace nuvora::test
