#include "WindowFixture.h"
#include "app/Startup.h"
#include "ui/StatusLamps.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

using namespace nuvora;

// Start-up of the real window in a program folder holding Alpha (20 lines) and Beta (25 lines)
// and COM1 to COM4 that never open.
class TestStartup : public QObject, test::WindowFixture {
    Q_OBJECT

    QLabel *banner() const { return m_window->findChild<QLabel *>(QStringLiteral("Label1")); }
    QPushButton *start() const
    {
        return m_window->findChild<QPushButton *>(QStringLiteral("Command1"));
    }
    // The captions of the checked items, comma-separated: "2" for COM&2, "USB", "Beta".
    QString checkedItems(const QList<QAction *> &items) const
    {
        QStringList on;
        for (QAction *a : items)
            if (a->isChecked())
                on << a->text().remove(QLatin1Char('&')).remove(QStringLiteral("COM"));
        return on.join(QLatin1Char(','));
    }
    QString comMarks() const
    {
        return checkedItems({m_window->comAction(1), m_window->comAction(2), m_window->comAction(3),
                             m_window->comAction(4), m_window->usbAction()});
    }

private slots:
    void init()
    {
        freshFolder();
        deadPorts();
        writeInFolder(QStringLiteral("Alpha.lng"), test::languageFile(QStringLiteral("Alpha"), 20));
        writeInFolder(QStringLiteral("Beta.lng"), test::languageFile(QStringLiteral("Beta"), 25));
        makeWindow();
    }
    void cleanup() { m_window.reset(); }

    void firstStart()
    {
        QVERIFY(m_window->Form_Load());
        QCOMPARE(iniText(), settingsText(1, QString()));
        QCOMPARE(comMarks(), QString());
        QCOMPARE(checkedItems({action("smnuLingue0"), action("smnuLingue1")}), "Alpha");
        QCOMPARE(action("smnuLingue1")->text(), QStringLiteral("Beta"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Nuvora"));
        QCOMPARE(QDir::currentPath(), QDir(m_folder).canonicalPath());
        // Captions in the chosen language before the window is first shown.
        QCOMPARE(action("mnuFile")->text(), QStringLiteral("Alpha 1"));
        QCOMPARE(action("smnuFile0")->text(), QStringLiteral("Alpha 2"));
        QCOMPARE(action("mnuLingue")->text(), QStringLiteral("Alpha 4"));
        QCOMPARE(start()->text(), QStringLiteral("Alpha 6"));
        // No file: the banner hidden with its bare prefix, Start off, no recent files.
        QVERIFY(banner()->isHidden());
        QCOMPARE(banner()->text(), QStringLiteral("File:  "));
        QVERIFY(!start()->isEnabled());
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!action(QStringLiteral("fileM%1").arg(k))->isVisible());
        QCOMPARE(m_window->lamps()->lampTag(0), 1);
        // The port is opened last: its failure is the one box, and start-up still completes.
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{"Com Not Avaible!Please select a NEW com", 16, "Error Com"}}));
        QVERIFY(m_events.isEmpty());
    }

    void savedSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("com");
        QTest::addColumn<QString>("language");
        QStringList files{"/img/a&b.mhx", "/img/c.mhx"};
        QTest::newRow("COM2 Beta") << settingsText(2, "Beta", files) << "2"
                                   << "Beta";
        QTest::newRow("removed language") << settingsText(4, "Gamma") << "4"
                                          << "Alpha";
        QTest::newRow("COM12: USB") << settingsText(12, "Beta") << "USB"
                                    << "Beta";
        QTest::newRow("COM=0: no mark") << settingsText(0, "Beta") << ""
                                        << "Beta";
    }
    void savedSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, com);
        QFETCH(QString, language);
        writeInFolder(QStringLiteral("nuvora.ini"), content);
        QVERIFY(m_window->Form_Load());
        QCOMPARE(comMarks(), com);
        QCOMPARE(checkedItems({action("smnuLingue0"), action("smnuLingue1")}), language);
        QCOMPARE(m_state->LanguageName, language);
        QCOMPARE(action("mnuFile")->text(), language + QStringLiteral(" 1"));
        // Only a reset port is saved: a removed language's name stays until the next change.
        QCOMPARE(iniText(), QByteArray(content).replace("COM=0", "COM=1"));
        for (int k = 1; k <= 4; ++k) {
            const QString file = m_state->RecentFiles[size_t(k - 1)];
            QCOMPARE(action(QStringLiteral("fileM%1").arg(k))->isVisible(), !file.isEmpty());
            QCOMPARE(action(QStringLiteral("fileM%1").arg(k))->text(),
                     QString(file).replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
    }

    void noLanguageFile()
    {
        QVERIFY(QFile::remove(inFolder(QStringLiteral("Alpha.lng"))));
        QVERIFY(QFile::remove(inFolder(QStringLiteral("Beta.lng"))));
        QVERIFY(!m_window->Form_Load());
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{"File missing! Reinstall program", 16, "Error"}}));
        QCOMPARE(m_events, QStringList{"end"}); // no host beside us
        QVERIFY(!QFile::exists(inFolder(QStringLiteral("nuvora.ini"))));
    }

    void iconAboutAndClose()
    {
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(inFolder(QStringLiteral("VURUVEVI.ROD")), "BMP"));
        const QString host = m_root->filePath(kHostProgram);
        test::writeFile(host, "#!/bin/sh\n");
        QFile::setPermissions(host, QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(m_window->Form_Load());
        QVERIFY(!m_window->windowIcon().isNull());
        m_window->show();
        action("mnuAbo")->trigger();
        QVERIFY(m_window->aboutBox());
        m_window->close();
        QCOMPARE(m_events,
                 (QStringList{"host " + QDir(m_root->path()).absolutePath() + '/' + kHostProgram,
                              "end"}));
    }

    void centredAndLaidOut()
    {
        QVERIFY(m_window->Form_Load());
        const QScreen *screen = m_window->screen();
        const double k = 15.0 * 96.0 / screen->logicalDotsPerInch();
        const QSize frame = m_window->frameGeometry().size();
        const int top = centredOffset(screen->geometry().height() * k, frame.height() * k);
        const int left = centredOffset(screen->geometry().width() * k, frame.width() * k);
        QCOMPARE(m_window->pos(),
                 QPoint(m_window->px(left), m_window->px(top)) + screen->geometry().topLeft());
        QVERIFY(m_window->pos().x() > 0 && m_window->pos().y() > 0);
        // The offscreen screen has 96 dpi: 15 twips to the pixel.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(banner()->geometry(), QRect(7, 8, 311, 31));
        QCOMPARE(start()->geometry(), QRect(112, 48, 101, 29));
        QCOMPARE(m_window->centralWidget()->width(), 329);
        QCOMPARE(m_window->centralWidget()->height() + m_window->statusBar()->height(), 124);
    }

    void languageSwitchKeepsBanner()
    {
        writeInFolder(QStringLiteral("image.mhx"), "S20800000001020304ED\r\n");
        m_prompter.chooseFile(inFolder(QStringLiteral("image.mhx")));
        QVERIFY(m_window->Form_Load());
        action("smnuFile0")->trigger();
        QVERIFY(!banner()->isHidden());
        action("smnuLingue1")->trigger(); // Alpha (20 lines) -> Beta (25)
        QCOMPARE(m_state->LanguageName, QStringLiteral("Beta"));
        QCOMPARE(checkedItems({action("smnuLingue0"), action("smnuLingue1")}), "Beta");
        QCOMPARE(action("mnuFile")->text(), QStringLiteral("Beta 1"));
        QCOMPARE(start()->text(), QStringLiteral("Beta 6"));
        QCOMPARE(banner()->text(), QStringLiteral("File:  image.mhx"));
        QVERIFY(iniText().contains("LINGUA=Beta\r\n"));
        // Back to the shorter file: refused; the tick stays on Beta.
        action("smnuLingue0")->trigger();
        QCOMPARE(m_prompter.boxes.last(), (test::Box{"Check file message!", 48, "Wrong file"}));
        QCOMPARE(checkedItems({action("smnuLingue0"), action("smnuLingue1")}), "Beta");
    }

    void emptyStartCaption()
    {
        writeInFolder(QStringLiteral("Alpha.lng"),
                      test::languageFile(QStringLiteral("Alpha"), 20, 6));
        QVERIFY(m_window->Form_Load());
        QCOMPARE(start()->text(), QString());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
