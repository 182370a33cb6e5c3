#include "Rows.h"
#include "Version.h"
#include "WindowFixture.h"
#include "ui/WidgetPrompter.h"
#include "ui/WindowCentring.h"

#include <cmath>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

using namespace nuvora;
using test::Box;

namespace {
// The ground of lamp pictures 1..6: unlit ones are transparent, then yellow, green, red.
const QRgb kGround[] = {0, 0, 0, qRgb(255, 255, 0), qRgb(0, 255, 0), qRgb(255, 0, 0)};

// A status bar of its own; `calls` are lamp states set in turn, "4 5".
std::unique_ptr<StatusLamps> lampsAfter(const QString &calls)
{
    auto bar = std::make_unique<StatusLamps>();
    bar->InitStatusBar(new QProgressBar, 1.0 / 15.0);
    for (const QString &state : calls.split(' ', Qt::SkipEmptyParts))
        bar->SetLamp(LampState(state.toInt()));
    return bar;
}
} // namespace

// The real window in a program folder holding Alpha (20 lines) and Beta (25 lines) and COM1 to
// COM4 that never open: start-up, captions, lamps, the About box, message boxes, the shutdown.
class TestWindow : public QObject, test::WindowFixture {
    Q_OBJECT

    // calls: lamp states set in turn; timers running afterwards (1 TX, 2 RX); tags; pictures set.
    struct LampRow {
        const char *name, *calls;
        int timers, tags, changes;
    };
    const std::vector<LampRow> m_lampRows{
        {"out of range ignored", "0 7 255", 0, 123, 0},
        {"TxOn", "4", 1, 423, 1},
        {"RxOn", "5", 2, 153, 1},
        {"ErrOn: no timer", "6", 0, 126, 1},
        {"TxOn twice: one picture", "4 4", 1, 423, 1},
        {"TxOff by hand: timer runs on", "4 1", 1, 123, 2},
        {"ErrOff after ErrOn", "6 3", 0, 123, 2},
    };
    // The settings file (empty: none), the Com item and the language checked after start-up.
    struct SettingsRow {
        const char *name;
        QByteArray content;
        QString com, language;
    };
    const std::vector<SettingsRow> m_settingsRows{
        {"no settings file", {}, "", "Alpha"},
        {"COM2 Beta", settingsText(2, "Beta", {"/img/a&b.mhx", "/img/c.mhx"}), "COM&2", "Beta"},
        {"COM12: USB", settingsText(12, "Beta"), "&USB", "Beta"},
    };
private slots:
    void init()
    {
        freshWindow();
        for (int n = 1; n <= 4; ++n) // plain files, which never open as a port
            test::writeFile(inFolder(QStringLiteral("ports/COM%1").arg(n)), "not a serial port");
        test::writeFile(inFolder("Alpha.lng"), test::languageFile("Alpha", 20));
        test::writeFile(inFolder("Beta.lng"), test::languageFile("Beta", 25));
    }
    void savedSettings_data() { test::indexRows(m_settingsRows); }
    void savedSettings()
    {
        const auto &[name, content, com, language] = test::currentRow(m_settingsRows);
        if (!content.isEmpty())
            test::writeFile(inFolder("nuvora.ini"), content);
        QVERIFY(m_window->Form_Load());
        QCOMPARE(QDir::currentPath(), QDir(m_folder).canonicalPath());
        QCOMPARE(checked("mnuCom"), com);
        QCOMPARE(checked("mnuLingue"), language);
        QCOMPARE(m_state->LanguageName, language);
        // Captions in the chosen language before the window is first shown.
        QCOMPARE(action("mnuFile")->text() + action("mnuLingue")->text() + start()->text(),
                 language + " 1" + language + " 4" + language + " 6");
        // No file: the banner hidden with its bare prefix, Start off, the bar empty; lamps out.
        QVERIFY(banner()->isHidden() && !start()->isEnabled() && m_events.isEmpty());
        QCOMPARE(m_window->findChild<QProgressBar *>("ProgressBar1")->value(), 0);
        QCOMPARE(lampTags(*m_window->lamps()), 123);
        QCOMPARE(iniText(), content.isEmpty() ? settingsText(1, QString()) : content);
        // COM1 is opened last: its failure is the one box, and start-up still completes.
        if (content.isEmpty())
            QCOMPARE(m_prompter.boxes, QList<Box>{kErrorCom});
        // The separator below Load is drawn even when no recent file follows it.
        QVERIFY(m_window->findChild<QMenu *>("mnuFile")->actionGeometry(action("M1")).height() > 0);
        for (int k = 1; k <= 4; ++k) {
            QAction *item = action(QStringLiteral("fileM%1").arg(k));
            QCOMPARE(item->isVisible(), !m_state->RecentFiles[size_t(k - 1)].isEmpty());
            QCOMPARE(item->text(), QString(m_state->RecentFiles[size_t(k - 1)]).replace("&", "&&"));
        }
    }
    void noLanguageFile()
    {
        QVERIFY(QFile::remove(inFolder("Alpha.lng")) && QFile::remove(inFolder("Beta.lng")));
        QVERIFY(!m_window->Form_Load());
        QCOMPARE(m_events, QStringList{"end"}); // no host beside us
        QVERIFY(!QFile::exists(inFolder("nuvora.ini")));
    }
    // Worked out by hand for the offscreen screen: 800 x 800 pixels at 96 dpi, 15 twips to the
    // pixel, a 2-pixel frame all round. Checked after the layout has settled, with the height
    // the window keeps.
    void centredAndLaidOut()
    {
        QVERIFY(m_window->Form_Load());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->centralWidget()->width(), 329);
        QCOMPARE(m_window->centralWidget()->height() + m_window->statusBar()->height(), 124);
        // Left: the frame is 333 px = 4995 twips wide, (12000 - 4995) / 2 = 3502 twips = 233 px.
        const int height = m_window->frameGeometry().height();
        const int topTwips = (12000 - 15 * height) / 2;
        QCOMPARE(m_window->frameGeometry().topLeft(),
                 QPoint(233, int(std::lround(topTwips / 15.0))));
    }
    // A loaded file whose legal name looks like markup, shown as it is through a language
    // switch; the About box; the window's close, which starts the host.
    void session()
    {
        const QString name = QStringLiteral("<i>image.mhx");
        test::writeFile(inFolder(name), "S20800000001020304ED\r\n");
        m_prompter.chooseFile(inFolder(name));
        // Our icon file keeps its odd extension: it is read by its content.
        QVERIFY(QFile::copy(test::sourceDataDir() + "/VURUVEVI.ROD", inFolder("VURUVEVI.ROD")));
        test::writeFile(hostFile(), "#!/bin/sh\n");
        QFile::setPermissions(hostFile(), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(m_window->Form_Load());
        QVERIFY(!m_window->windowIcon().isNull());
        action("smnuFile0")->trigger();
        QVERIFY(!banner()->isHidden() && banner()->textFormat() == Qt::PlainText &&
                banner()->frameShape() == QFrame::Box);
        action("smnuLingue1")->trigger(); // Alpha (20 lines) -> Beta (25)
        action("smnuLingue0")->trigger(); // and back to 20 lines: refused
        QCOMPARE(m_prompter.boxes.takeLast(), (Box{"Check file message!", 48, "Wrong file"}));
        QCOMPARE(checked("mnuLingue"), "Beta");
        QCOMPARE(action("mnuFile")->text() + start()->text(), "Beta 1Beta 6");
        QCOMPARE(banner()->text(), "File:  " + name);
        m_window->show();
        action("mnuAbo")->trigger();
        QPointer<AboutBox> first = m_window->aboutBox();
        QVERIFY(first && first->isVisible() && first->isWindow() && !first->isModal());
        // Over the main window, not at the screen's corner.
        const QPoint off = first->frameGeometry().center() - m_window->frameGeometry().center();
        QVERIFY2(off.manhattanLength() <= 4, qPrintable(QString::number(off.manhattanLength())));
        const QString version = versionText(kVersionMajor, kVersionMinor, kVersionRevision);
        QCOMPARE(first->versionLabel()->text(), version);
        // The drawn chip, probed where each part covers whole pixels: a pin on either side,
        // the body, its mark, the arrow, the three message lines, the white ground.
        const QImage chip = first->findChild<QLabel *>("Picture1")->pixmap().toImage();
        const QRgb pin = qRgb(128, 128, 128), body = qRgb(40, 40, 48), text = qRgb(255, 200, 0);
        for (const auto &[x, y, rgb] :
             QList<std::tuple<int, int, QRgb>>{{15, 17, pin},
                                               {49, 45, pin},
                                               {32, 50, body},
                                               {24, 18, qRgb(192, 255, 255)},
                                               {32, 7, qRgb(0, 160, 0)},
                                               {39, 29, text},
                                               {35, 36, text},
                                               {37, 42, text},
                                               {2, 60, qRgb(255, 255, 255)}})
            QVERIFY2(chip.pixel(x, y) == rgb, qPrintable(QString("%1,%2").arg(x).arg(y)));
        // A second click while open: the same box, its texts unchanged.
        first->versionLabel()->setText(QStringLiteral("marked"));
        action("mnuAbo")->trigger();
        QCOMPARE(m_window->aboutBox(), first.data());
        QCOMPARE(first->versionLabel()->text(), QStringLiteral("marked"));
        // Closing deletes it; the next opening fills a new box.
        QVERIFY(first->close());
        QTRY_VERIFY(!first);
        action("mnuAbo")->trigger();
        QCOMPARE(m_window->aboutBox()->versionLabel()->text(), version);
        QVERIFY(m_prompter.boxes.size() == 1); // the port's, nothing from the box
        m_window->close();
        QCOMPARE(m_events, (QStringList{"host " + hostFile(), "end"}));
    }
    void conversions()
    {
        const QList<std::pair<QVariant, QString>> rows{
            {centredOffset(1003, 0), "501"}, // an odd difference's remainder dropped
            {centredOffset(0, 3), "-1"},     // towards zero
            {centredOffset(3.5, 0), "2"},    // 3.5 rounds to 4 first
            {centredOffset(0, 3.5), "-2"},
            {twipsToPixels(255, 144), "26"}, // 25.5 rounds up
            {versionText(1, 0, 10), "Rev. 1.0.Beta10"},
            {versionText(1, 0, 0), "Rev. 1.0.0"},
            {qtFileFilter("Images|*.mhx;*.s28"), "Images (*.mhx *.s28)"},
            {qtFileFilter("S (*.mhx)|*.mhx|All|*.*"), "S (*.mhx);;All (*.*)"},
            {hostPath("/opt/duvo/nuvora/"), "/opt/duvo/DUVODORUVI.EXE"},
            {hostPath("/nuvora"), "//DUVODORUVI.EXE"}};
        for (const auto &[got, expected] : rows)
            QCOMPARE(got.toString(), expected);
    }
    void messageBoxes() // a box without title bears the program's name
    {
        for (const auto &[style, title, icon, shown] :
             QList<std::tuple<int, QString, int, QString>>{
                 {16, "Error Com", QMessageBox::Critical, "Error Com"},
                 {48, "W", QMessageBox::Warning, "W"},
                 {64, "", QMessageBox::Information, "Nuvora"}}) {
            QStringList seen;
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                seen = {QString::number(box->icon()), box->windowTitle(), box->text()};
                box->accept();
            });
            WidgetPrompter().message(QStringLiteral("Not available\rPlease select"), style, title);
            QCOMPARE(seen,
                     (QStringList{QString::number(icon), shown, "Not available\nPlease select"}));
        }
    }
    // The real open dialog: only the filter's files offered, a name typed without its extension
    // given the default one, a file that is not there refused; cancelling answers nothing.
    void fileDialog()
    {
        QTemporaryDir dir;
        test::writeFile(dir.filePath("a.mhx"), "S9030000FC\r\n");
        for (const QString &typed : QStringList{"a", "gone.mhx", ""}) {
            QStringList seen;
            QTimer closer; // a refused name leaves the dialog open: cancel it then
            connect(&closer, &QTimer::timeout, [&] {
                QWidget *w = QApplication::activeModalWidget();
                auto *d = qobject_cast<QFileDialog *>(w);
                if (!d || !seen.isEmpty()) { // Qt's "File not found" box, or the dialog after it
                    if (auto *open = qobject_cast<QDialog *>(w))
                        open->reject();
                    return;
                }
                seen << d->nameFilters() << QString::number(d->fileMode());
                d->setDirectory(dir.path());
                if (typed.isEmpty())
                    return d->reject();
                d->findChild<QLineEdit *>("fileNameEdit")->setText(typed);    // as typed
                QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection); // Open pressed
            });
            closer.start(50);
            const OpenFileAnswer a =
                WidgetPrompter().openFile({"mhx", "Fujitsu S-file (*.mhx)|*.mhx"});
            QCOMPARE(seen, (QStringList{"Fujitsu S-file (*.mhx)", "1"})); // 1: ExistingFile
            const bool chosen = typed == "a";
            QCOMPARE(a.cancelled, !chosen);
            QCOMPARE(a.fileName, chosen ? dir.filePath("a.mhx") : QString());
            QCOMPARE(a.fileTitle, chosen ? "a.mhx" : QString());
        }
    }
    // Each keeps the host from starting (the window's close starts it in session()):
    // a host not executable, a port that fails to close.
    void shutdown()
    {
        for (const auto &[portCloses, host] :
             QList<std::pair<bool, QByteArray>>{{true, "data"}, {false, "#!/bin/sh\n"}}) {
            test::writeFile(hostFile(), host);
            QFile::setPermissions(hostFile(),
                                  host.startsWith("#!") ? QFile::ExeOwner : QFile::ReadOwner);
            ShutdownActions actions = recordedShutdown();
            actions.closePort = [portCloses = portCloses] { return portCloses; };
            m_events.clear();
            Form_Unload(m_folder, actions);
            QCOMPARE(m_events, QStringList{"end"});
        }
    }
    void setLamp_data() { test::indexRows(m_lampRows); }
    void setLamp()
    {
        const LampRow &r = test::currentRow(m_lampRows);
        const auto bar = lampsAfter(r.calls);
        QCOMPARE(lampTags(*bar), r.tags);
        QCOMPARE(bar->timer1().isActive(), bool(r.timers & 1));
        QCOMPARE(bar->timer2().isActive(), bool(r.timers & 2));
        QCOMPARE(bar->pictureChanges(), r.changes);
        // Each panel: a 15-pixel picture on its state's ground, with black letters.
        for (int lamp : {0, 1, 2}) {
            const QImage picture = bar->lampPanel(lamp)->pixmap().toImage();
            QCOMPARE(picture.size(), QSize(15, 15));
            QCOMPARE(picture.pixel(0, 0), kGround[bar->lampTag(lamp) - 1]);
            int dark = 0;
            for (int i = 0; i < 15 * 15; ++i) {
                const QColor c = QColor::fromRgba(picture.pixel(i % 15, i / 15));
                dark += c.alpha() > 128 && c.lightness() < 64;
            }
            QVERIFY2(dark >= 10, "the letters must be drawn in black");
        }
    }
    // Relit after 0.3 s, a lamp goes out half a second after the last lighting, not before and
    // not much later; the error lamp goes out with the RX lamp, never with the TX lamp.
    void lampHold()
    {
        for (int lamp : {0, 1}) { // TX, RX
            const auto bar = lampsAfter(QStringLiteral("6 %1").arg(lamp + 4));
            QTest::qWait(300);
            bar->SetLamp(LampState(lamp + 4));
            QElapsedTimer lit;
            lit.start();
            while (bar->lampTag(lamp) != lamp + 1 && lit.elapsed() < 3000)
                QTest::qWait(5);
            QVERIFY2(lit.elapsed() >= 450 && lit.elapsed() <= 800,
                     qPrintable(QString::number(lit.elapsed())));
            QCOMPARE(lampTags(*bar), lamp ? 123 : 126);
        }
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
