#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/Startup.h"
#include "ui/MainWindow.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

// Lines 1, 2, 4 and 6 are the captions; markers on 3 and 10.
QByteArray languageFile(const QString &tag, int lines = 20, bool emptyStart = false)
{
    QByteArray text;
    for (int k = 1; k <= lines; ++k) {
        if (k == 3 || k == 10)
            text += ";--\r\n";
        else if (k == 6 && emptyStart)
            text += "\r\n";
        else
            text += tag.toUtf8() + ' ' + QByteArray::number(k) + "\r\n";
    }
    return text;
}

QByteArray settings(int com, const QString &language, const QStringList &files = {})
{
    QByteArray text = "COM=" + QByteArray::number(com) + "\r\nLINGUA=" + language.toUtf8() + "\r\n";
    for (int i = 0; i < 4; ++i)
        text += "FILE" + QByteArray::number(i + 1) + "=" + files.value(i).toUtf8() + "\r\n";
    return text;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_folder;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    QStringList m_events;
    std::unique_ptr<MainWindow> m_window;

    void file(const QString &name, const QByteArray &content)
    {
        test::writeFile(m_folder + QLatin1Char('/') + name, content);
    }
    QByteArray ini() const { return test::readFile(m_folder + QStringLiteral("/nuvora.ini")); }
    QAction *action(const QString &name) const
    {
        return m_window->findChild<QAction *>(name);
    }
    QList<bool> comMarks() const
    {
        QList<bool> marks;
        for (int i = 1; i <= 4; ++i)
            marks << m_window->comAction(i)->isChecked();
        marks << m_window->usbAction()->isChecked();
        return marks;
    }
    void makeWindow()
    {
        ShutdownActions recorded;
        recorded.startHost = [this](const QString &path) {
            m_events << QStringLiteral("host ") + path;
            return true;
        };
        recorded.endProcess = [this] { m_events << QStringLiteral("end"); };
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder, recorded);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->filePath(QStringLiteral("prog"));
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/ports")));
        // COM1 to COM4 lead to plain files here: they never open, on any machine.
        for (int n = 1; n <= 4; ++n)
            file(QStringLiteral("ports/COM%1").arg(n), "not a serial port");
        file(QStringLiteral("Alpha.lng"), languageFile(QStringLiteral("Alpha")));
        file(QStringLiteral("Beta.lng"), languageFile(QStringLiteral("Beta"), 25));
        m_state = std::make_unique<AppState>();
        m_prompter = {};
        m_events.clear();
        makeWindow();
    }
    void cleanup() { m_window.reset(); }

    void firstStart()
    {
        QVERIFY(m_window->Form_Load());
        QCOMPARE(ini(), QByteArray("COM=1\r\nLINGUA=\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n"));
        QCOMPARE(comMarks(), (QList<bool>{false, false, false, false, false}));
        QVERIFY(action(QStringLiteral("smnuLingue0"))->isChecked());
        QVERIFY(!action(QStringLiteral("smnuLingue1"))->isChecked());
        QCOMPARE(action(QStringLiteral("smnuLingue1"))->text(), QStringLiteral("Beta"));
        QCOMPARE(m_state->LanguageName, QStringLiteral("Alpha"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Nuvora"));
        QCOMPARE(QDir::currentPath(), QDir(m_folder).canonicalPath());
        // Captions in the chosen language before the window is first shown.
        QCOMPARE(action(QStringLiteral("mnuFile"))->text(), QStringLiteral("Alpha 1"));
        QCOMPARE(action(QStringLiteral("smnuFile0"))->text(), QStringLiteral("Alpha 2"));
        QCOMPARE(action(QStringLiteral("mnuLingue"))->text(), QStringLiteral("Alpha 4"));
        auto *start = m_window->findChild<QPushButton *>(QStringLiteral("Command1"));
        QCOMPARE(start->text(), QStringLiteral("Alpha 6"));
        // The No file state.
        auto *banner = m_window->findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(banner->isHidden());
        QCOMPARE(banner->text(), QStringLiteral("File:  "));
        QVERIFY(!start->isEnabled());
        QVERIFY(action(QStringLiteral("mnuFile"))->isEnabled());
        QVERIFY(action(QStringLiteral("M1"))->isVisible());
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!action(QStringLiteral("fileM%1").arg(k))->isVisible());
        QCOMPARE(m_window->lamps()->lampTag(0), 1);
        // The port is opened last: its failure is the one box, and start-up still completes.
        QCOMPARE(m_prompter.boxes.size(), 1);
        QVERIFY(m_prompter.boxes[0].text.startsWith(
            QStringLiteral("Com Not Avaible!Please select a NEW com")));
        QCOMPARE(m_prompter.boxes[0].title, QStringLiteral("Error Com"));
        QCOMPARE(m_prompter.boxes[0].style, 16);
        QVERIFY(m_events.isEmpty());
    }

    void savedSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<bool>>("marks");
        QTest::addColumn<int>("checkedLanguage");
        QTest::addColumn<QString>("language");
        QTest::newRow("COM2 Beta") << settings(2, "Beta") << QList<bool>{false, true, false, false, false}
                                   << 1 << "Beta";
        QTest::newRow("removed language: the first")
            << settings(4, "Gamma") << QList<bool>{false, false, false, true, false} << 0 << "Alpha";
        QTest::newRow("COM12: USB") << settings(12, "Beta")
                                    << QList<bool>{false, false, false, false, true} << 1 << "Beta";
        QTest::newRow("COM=0: reset, no mark")
            << settings(0, "Beta") << QList<bool>{false, false, false, false, false} << 1 << "Beta";
    }
    void savedSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<bool>, marks);
        QFETCH(int, checkedLanguage);
        QFETCH(QString, language);
        file(QStringLiteral("nuvora.ini"), content);
        QVERIFY(m_window->Form_Load());
        QCOMPARE(comMarks(), marks);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(action(QStringLiteral("smnuLingue%1").arg(i))->isChecked(),
                     i == checkedLanguage);
        QCOMPARE(m_state->LanguageName, language);
        QCOMPARE(action(QStringLiteral("mnuFile"))->text(), language + QStringLiteral(" 1"));
    }

    void removedLanguageKeptInFile()
    {
        file(QStringLiteral("nuvora.ini"), settings(2, "Gamma"));
        QVERIFY(m_window->Form_Load());
        // Start-up saves nothing: the old name stays until the next change.
        QCOMPARE(ini(), settings(2, "Gamma"));
    }

    void recentFilesShown()
    {
        file(QStringLiteral("nuvora.ini"),
             settings(2, "Alpha", {QStringLiteral("/img/a&b.mhx"), QStringLiteral("/img/c.mhx")}));
        QVERIFY(m_window->Form_Load());
        QVERIFY(action(QStringLiteral("fileM1"))->isVisible());
        QCOMPARE(action(QStringLiteral("fileM1"))->text(), QStringLiteral("/img/a&&b.mhx"));
        QVERIFY(action(QStringLiteral("fileM2"))->isVisible());
        QVERIFY(!action(QStringLiteral("fileM3"))->isVisible());
        QVERIFY(!action(QStringLiteral("fileM4"))->isVisible());
    }

    void noLanguageFile()
    {
        QVERIFY(QFile::remove(m_folder + QStringLiteral("/Alpha.lng")));
        QVERIFY(QFile::remove(m_folder + QStringLiteral("/Beta.lng")));
        QVERIFY(!m_window->Form_Load());
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"File missing! Reinstall program", 16, "Error"}));
        QCOMPARE(m_events, QStringList{QStringLiteral("end")}); // no host beside us
        QVERIFY(!QFile::exists(m_folder + QStringLiteral("/nuvora.ini")));
    }

    void closeRunsShutdown()
    {
        const QString host = m_root->filePath(kHostProgram);
        test::writeFile(host, "#!/bin/sh\n");
        QFile::setPermissions(host, QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(m_window->Form_Load());
        m_window->show();
        m_window->findChild<QAction *>(QStringLiteral("mnuAbo"))->trigger();
        QVERIFY(m_window->aboutBox());
        m_window->close();
        QCOMPARE(m_events, (QStringList{QStringLiteral("host ") + QDir(m_root->path()).absolutePath() +
                                            QLatin1Char('/') + kHostProgram,
                                        QStringLiteral("end")}));
    }

    void centred()
    {
        QVERIFY(m_window->Form_Load());
        const QScreen *screen = m_window->screen();
        const double k = 15.0 * 96.0 / screen->logicalDotsPerInch();
        const QSize frame = m_window->frameGeometry().size();
        const int top = centredOffset(screen->geometry().height() * k, frame.height() * k);
        const int left = centredOffset(screen->geometry().width() * k, frame.width() * k);
        QCOMPARE(m_window->pos(), QPoint(m_window->px(left), m_window->px(top)) +
                                      screen->geometry().topLeft());
        QVERIFY(m_window->pos().x() > 0 && m_window->pos().y() > 0);
    }

    void icon()
    {
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(m_folder + QStringLiteral("/VURUVEVI.ROD"), "BMP"));
        QVERIFY(m_window->Form_Load());
        QVERIFY(!m_window->windowIcon().isNull());
    }

    void languageSwitchKeepsBanner()
    {
        file(QStringLiteral("image.mhx"), "S20800000001020304ED\r\n");
        m_prompter.chooseFile(m_folder + QStringLiteral("/image.mhx"));
        QVERIFY(m_window->Form_Load());
        action(QStringLiteral("smnuFile0"))->trigger();
        auto *banner = m_window->findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(!banner->isHidden());
        action(QStringLiteral("smnuLingue1"))->trigger(); // Alpha (20 lines) -> Beta (25)
        QCOMPARE(m_state->LanguageName, QStringLiteral("Beta"));
        QVERIFY(action(QStringLiteral("smnuLingue1"))->isChecked());
        QVERIFY(!action(QStringLiteral("smnuLingue0"))->isChecked());
        QCOMPARE(action(QStringLiteral("mnuFile"))->text(), QStringLiteral("Beta 1"));
        QCOMPARE(banner->text(), QStringLiteral("File:  image.mhx"));
        QVERIFY(ini().contains("LINGUA=Beta\r\n"));
        // Back to the shorter file: refused; the tick stays on Beta.
        action(QStringLiteral("smnuLingue0"))->trigger();
        QCOMPARE(m_prompter.boxes.last(), (test::Box{"Check file message!", 48, "Wrong file"}));
        QVERIFY(!action(QStringLiteral("smnuLingue0"))->isChecked());
        QVERIFY(action(QStringLiteral("smnuLingue1"))->isChecked());
    }

    void emptyStartCaption()
    {
        file(QStringLiteral("Alpha.lng"), languageFile(QStringLiteral("Alpha"), 20, true));
        QVERIFY(m_window->Form_Load());
        QCOMPARE(m_window->findChild<QPushButton *>(QStringLiteral("Command1"))->text(), QString());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
