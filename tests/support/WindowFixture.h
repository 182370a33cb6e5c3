#pragma once

#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "ui/MainWindow.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace nuvora::test {

// Base of the suites that drive the real window: a program folder of its own in a temporary
// directory (ports/COMn there are the port aliases), fresh state and prompter, and the window
// made in it (not yet loaded) with the host start and the process end recorded in m_events.
class WindowFixture {
protected:
    void freshWindow()
    {
        m_window.reset();
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->filePath(QStringLiteral("prog"));
        QDir().mkpath(m_folder + QStringLiteral("/ports"));
        m_state = std::make_unique<AppState>();
        m_prompter = {};
        m_events.clear();
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder, recordedShutdown());
    }
    ShutdownActions recordedShutdown()
    {
        ShutdownActions recorded;
        recorded.startHost = [this](const QString &path) {
            return m_events << "host " + path, true;
        };
        recorded.endProcess = [this] { m_events << QStringLiteral("end"); };
        return recorded;
    }
    QPushButton *start() const { return m_window->findChild<QPushButton *>("Command1"); }
    QLabel *banner() const { return m_window->findChild<QLabel *>("Label1"); }
    QString inFolder(const QString &name) const { return m_folder + '/' + name; }
    QString hostFile() const { return QDir(m_root->path()).absolutePath() + '/' + kHostProgram; }
    QByteArray iniText() const { return readFile(inFolder(QStringLiteral("nuvora.ini"))); }
    static QByteArray settingsText(int com, const QString &language, const QStringList &files = {})
    {
        QByteArray text = "COM=" + QByteArray::number(com) + "\r\nLINGUA=" + language.toUtf8();
        for (int i = 0; i < 4; ++i)
            text += "\r\nFILE" + QByteArray::number(i + 1) + "=" + files.value(i).toUtf8();
        return text + "\r\n";
    }
    static inline const Box kErrorCom{"Com Not Avaible!Please select a NEW com", 16, "Error Com"};
    static int lampTags(const StatusLamps &l) // TX, RX, ER: 123 all unlit
    {
        return 100 * l.lampTag(0) + 10 * l.lampTag(1) + l.lampTag(2);
    }
    QAction *action(const QString &name) const
    {
        QAction *a = m_window->findChild<QAction *>(name);
        return a ? a : (qFatal("no action %s", qPrintable(name)), nullptr);
    }
    // The captions of the checked Com or Language items: "COM&2", "&USB", "Beta", "" for none,
    // "COM&1,&USB" when the one-mark rule is broken.
    QString checked(const QString &menu) const
    {
        QStringList on;
        for (QAction *a : action(menu)->menu()->actions())
            if (a->isChecked())
                on << a->text();
        return on.join(QLatin1Char(','));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_folder;
    std::unique_ptr<AppState> m_state;
    RecordingPrompter m_prompter;
    QStringList m_events;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace nuvora::test
