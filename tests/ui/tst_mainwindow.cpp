#include "RecordingPrompter.h"
#include "ui/MainWindow.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    QTemporaryDir m_folder;
    std::unique_ptr<MainWindow> m_window;

    QAction *action(const QString &name) const
    {
        auto *a = m_window->findChild<QAction *>(name);
        if (!a)
            qFatal("no action %s", qPrintable(name));
        return a;
    }
    QLabel *banner() const { return m_window->findChild<QLabel *>(QStringLiteral("Label1")); }
    QPushButton *start() const
    {
        return m_window->findChild<QPushButton *>(QStringLiteral("Command1"));
    }
    QList<bool> topMenusEnabled() const
    {
        QList<bool> enabled;
        for (const char *name : {"mnuFile", "mnuLingue", "mnuCom", "mnuAbo"})
            enabled << action(QLatin1String(name))->isEnabled();
        return enabled;
    }

private slots:
    void init()
    {
        m_state = std::make_unique<AppState>();
        m_prompter = {};
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder.path());
        m_window->InitStatusBar();
    }
    void cleanup() { m_window.reset(); }

    void creationCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("visible");
        QTest::newRow("mnuFile") << "mnuFile" << "&File" << true;
        QTest::newRow("smnuFile0") << "smnuFile0" << "&Load" << true;
        QTest::newRow("M1 separator") << "M1" << "" << true;
        QTest::newRow("fileM1") << "fileM1" << "" << true;
        QTest::newRow("fileM4") << "fileM4" << "" << true;
        QTest::newRow("mnuLingue") << "mnuLingue" << "Language" << true;
        QTest::newRow("smnuLingue0 shown") << "smnuLingue0" << "" << true;
        QTest::newRow("smnuLingue1 hidden") << "smnuLingue1" << "" << false;
        QTest::newRow("smnuLingue9 hidden") << "smnuLingue9" << "" << false;
        QTest::newRow("mnuCom") << "mnuCom" << "&Com" << true;
        QTest::newRow("mnuCox1") << "mnuCox1" << "COM&1" << true;
        QTest::newRow("mnuCox4") << "mnuCox4" << "COM&4" << true;
        QTest::newRow("mnusep") << "mnusep" << "" << true;
        QTest::newRow("mnuUSB") << "mnuUSB" << "&USB" << true;
        QTest::newRow("mnuAbo") << "mnuAbo" << "?" << true;
    }
    void creationCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(bool, visible);
        QCOMPARE(action(name)->text(), caption);
        QCOMPARE(action(name)->isVisible(), visible);
        if (visible)
            QVERIFY(action(name)->isEnabled());
    }

    void creationState()
    {
        QVERIFY(action(QStringLiteral("M1"))->isSeparator());
        QVERIFY(action(QStringLiteral("mnusep"))->isSeparator());
        QVERIFY(banner()->isHidden());
        QCOMPARE(start()->text(), QStringLiteral("Start "));
        QVERIFY(!start()->isEnabled());
        QVERIFY(start()->font().bold());
        QCOMPARE(start()->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(start()->font().pointSizeF(), 9.75);
        QCOMPARE(banner()->font().family(), QStringLiteral("Arial"));
        QCOMPARE(banner()->font().pointSizeF(), 14.25);
        QCOMPARE(banner()->palette().color(QPalette::Window), QColor(192, 255, 255));
        QCOMPARE(banner()->frameShape(), QFrame::Box);
        QVERIFY(banner()->alignment() & Qt::AlignHCenter);
        auto *bar = m_window->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->value(), 0);
        for (int i = 1; i <= 4; ++i)
            QVERIFY(!m_window->comAction(i)->isChecked());
        QVERIFY(!m_window->usbAction()->isChecked());
    }

    void twips_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("client width at 96 dpi") << 4935.0 << 96.0 << 329;
        QTest::newRow("lamp panel at 96 dpi") << 255.0 << 96.0 << 17;
        QTest::newRow("lamp panel at 144 dpi") << 255.0 << 144.0 << 26; // 25.5 rounds up
        QTest::newRow("client width at 120 dpi") << 4935.0 << 120.0 << 411;
        QTest::newRow("banner left at 192 dpi") << 105.0 << 192.0 << 14;
        QTest::newRow("zero") << 0.0 << 144.0 << 0;
    }
    void twips()
    {
        QFETCH(double, twips);
        QFETCH(double, dpi);
        QFETCH(int, pixels);
        QCOMPARE(twipsToPixels(twips, dpi), pixels);
    }

    void layoutFromTwips()
    {
        // The offscreen screen has 96 dpi: 15 twips to the pixel.
        QCOMPARE(banner()->geometry(), QRect(7, 8, 311, 31));
        QCOMPARE(start()->geometry(), QRect(112, 48, 101, 29));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QWidget *client = m_window->centralWidget();
        QCOMPARE(client->width(), 329);
        QCOMPARE(client->height() + m_window->statusBar()->height(), 124);
        // The three lamps sit right of the progress bar, inside the status bar.
        auto *bar = m_window->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        const QRect barRect = bar->geometry();
        for (int lamp = 0; lamp < 3; ++lamp) {
            const QRect lampRect = m_window->lamps()->lampPanel(lamp)->geometry();
            QVERIFY(lampRect.left() >= barRect.right());
            QVERIFY(m_window->lamps()->rect().contains(lampRect));
        }
        QVERIFY(barRect.width() > 200);
    }

    void captions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("start");
        QTest::newRow("English") << "&File" << "&Load..." << "&Language" << "Start";
        QTest::newRow("Italiano") << "&File" << "&Carica..." << "&Lingua" << "Avvia";
        QTest::newRow("empty Start, no fallback") << "F" << "L" << "Lang" << "";
        QTest::newRow("blanks kept") << " File " << "Load " << " L" << "  Go  ";
    }
    void captions()
    {
        QFETCH(QString, file);
        QFETCH(QString, load);
        QFETCH(QString, language);
        QFETCH(QString, start);
        m_window->ShowFileName(QStringLiteral("msg.mhx"));
        m_state->LangText[1] = file;
        m_state->LangText[2] = load;
        m_state->LangText[3] = QStringLiteral("not a caption");
        m_state->LangText[4] = language;
        m_state->LangText[6] = start;
        m_window->SetCaptions();
        QCOMPARE(action(QStringLiteral("mnuFile"))->text(), file);
        QCOMPARE(action(QStringLiteral("smnuFile0"))->text(), load);
        QCOMPARE(action(QStringLiteral("mnuLingue"))->text(), language);
        QCOMPARE(this->start()->text(), start);
        QCOMPARE(banner()->text(), QStringLiteral("File:  msg.mhx"));
        // The Com and About captions are never translated.
        QCOMPARE(action(QStringLiteral("mnuCom"))->text(), QStringLiteral("&Com"));
        QCOMPARE(action(QStringLiteral("mnuAbo"))->text(), QStringLiteral("?"));
    }

    void showFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty: bare prefix") << "" << "File:  ";
        QTest::newRow("plain") << "a.mhx" << "File:  a.mhx";
        QTest::newRow("blanks kept") << " b .mhx " << "File:   b .mhx ";
    }
    void showFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        m_window->ShowFileName(name);
        QCOMPARE(banner()->text(), text);
        QCOMPARE(m_state->ShownFileName, name);
        QVERIFY(banner()->isHidden()); // visibility belongs to the load commands
    }

    void busyState()
    {
        m_window->setStartEnabled(false);
        m_window->SetLamp(LampState::ErrOn);
        m_window->SetLamp(LampState::TxOn);
        m_window->DisableCommands();
        QCOMPARE(topMenusEnabled(), (QList<bool>{false, false, false, false}));
        QVERIFY(!start()->isEnabled());
        QCOMPARE(m_window->lamps()->lampTag(2), 3); // ER unlit by the start of a run
        QCOMPARE(m_window->lamps()->lampTag(0), 4);
        m_window->DisableCommands();
        QCOMPARE(topMenusEnabled(), (QList<bool>{false, false, false, false}));
        m_window->SetLamp(LampState::ErrOn);
        m_window->EnableCommands();
        m_window->EnableCommands();
        QCOMPARE(topMenusEnabled(), (QList<bool>{true, true, true, true}));
        QVERIFY(start()->isEnabled()); // whatever it was before the run
        QCOMPARE(m_window->lamps()->lampTag(2), 6); // lamps stay as the run left them
    }

    void busyMenusUnreachable()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->DisableCommands();
        auto *fileMenu = m_window->findChild<QMenu *>(QStringLiteral("mnuFile"));
        QVERIFY(!fileMenu->menuAction()->isEnabled());
        // A click on the disabled title must not open its menu.
        QMenuBar *bar = m_window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(fileMenu->menuAction()).center());
        QVERIFY(!fileMenu->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
