#include "ui/StatusLamps.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace nuvora;

namespace {
constexpr int TX = 0, RX = 1, ER = 2;
}

class TestStatusLamps : public QObject {
    Q_OBJECT

    std::unique_ptr<StatusLamps> m_bar;

    QList<int> tags() const
    {
        return {m_bar->lampTag(TX), m_bar->lampTag(RX), m_bar->lampTag(ER)};
    }

private slots:
    void init()
    {
        m_bar = std::make_unique<StatusLamps>();
        m_bar->InitStatusBar(new QProgressBar, 1.0 / 15.0);
    }
    void cleanup() { m_bar.reset(); }

    void pictures_data()
    {
        QTest::addColumn<int>("image");
        QTest::addColumn<QColor>("ground");
        QTest::newRow("1 TX unlit") << 1 << QColor(Qt::transparent);
        QTest::newRow("2 RX unlit") << 2 << QColor(Qt::transparent);
        QTest::newRow("3 ER unlit") << 3 << QColor(Qt::transparent);
        QTest::newRow("4 TX lit yellow") << 4 << QColor(255, 255, 0);
        QTest::newRow("5 RX lit green") << 5 << QColor(0, 255, 0);
        QTest::newRow("6 ER lit red") << 6 << QColor(255, 0, 0);
    }
    void pictures()
    {
        QFETCH(int, image);
        QFETCH(QColor, ground);
        const QImage picture = lampPicture(image).toImage();
        QCOMPARE(picture.size(), QSize(15, 15));
        QCOMPARE(QColor::fromRgba(picture.pixel(0, 0)).rgba(), ground.rgba());
        int dark = 0;
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 15; ++x) {
                const QColor c = QColor::fromRgba(picture.pixel(x, y));
                if (c.alpha() > 128 && c.lightness() < 64)
                    ++dark;
            }
        QVERIFY2(dark >= 10, "the letters must be drawn in black");
    }

    void picturesDiffer()
    {
        // Unlit TX, RX and ER differ only by their letters; they must still be told apart.
        QVERIFY(lampPicture(1).toImage() != lampPicture(2).toImage());
        QVERIFY(lampPicture(2).toImage() != lampPicture(3).toImage());
    }

    void afterInit()
    {
        QCOMPARE(tags(), (QList<int>{1, 2, 3}));
        QVERIFY(!m_bar->timer1().isActive());
        QVERIFY(!m_bar->timer2().isActive());
        QCOMPARE(m_bar->timer1().interval(), 500);
        QCOMPARE(m_bar->timer2().interval(), 500);
        QVERIFY(m_bar->timer1().isSingleShot());
        QCOMPARE(m_bar->height(), 17);
        QVERIFY(m_bar->lampPanel(TX)->minimumWidth() >= 17);
        QCOMPARE(m_bar->lampPanel(TX)->property("tag").userType(), QMetaType::Short);
    }

    void setLamp_data()
    {
        QTest::addColumn<QList<int>>("calls");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<bool>("timer1Active");
        QTest::addColumn<bool>("timer2Active");
        QTest::addColumn<int>("changes");
        QTest::newRow("0 ignored") << QList<int>{0} << QList<int>{1, 2, 3} << false << false << 0;
        QTest::newRow("7 ignored") << QList<int>{7} << QList<int>{1, 2, 3} << false << false << 0;
        QTest::newRow("255 ignored") << QList<int>{255} << QList<int>{1, 2, 3} << false << false
                                     << 0;
        QTest::newRow("TxOn") << QList<int>{4} << QList<int>{4, 2, 3} << true << false << 1;
        QTest::newRow("RxOn") << QList<int>{5} << QList<int>{1, 5, 3} << false << true << 1;
        QTest::newRow("ErrOn touches no timer")
            << QList<int>{6} << QList<int>{1, 2, 6} << false << false << 1;
        QTest::newRow("offs on unlit lamps change nothing")
            << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << false << false << 0;
        QTest::newRow("TxOn twice sets the picture once")
            << QList<int>{4, 4} << QList<int>{4, 2, 3} << true << false << 1;
        QTest::newRow("TxOff by hand leaves the timer running")
            << QList<int>{4, 1} << QList<int>{1, 2, 3} << true << false << 2;
        QTest::newRow("all lit") << QList<int>{4, 5, 6} << QList<int>{4, 5, 6} << true << true
                                 << 3;
        QTest::newRow("ErrOff after ErrOn") << QList<int>{6, 3} << QList<int>{1, 2, 3} << false
                                            << false << 2;
    }
    void setLamp()
    {
        QFETCH(QList<int>, calls);
        QFETCH(QList<int>, expected);
        QFETCH(bool, timer1Active);
        QFETCH(bool, timer2Active);
        QFETCH(int, changes);
        for (int state : calls)
            m_bar->SetLamp(state);
        QCOMPARE(tags(), expected);
        QCOMPARE(m_bar->timer1().isActive(), timer1Active);
        QCOMPARE(m_bar->timer2().isActive(), timer2Active);
        QCOMPARE(m_bar->pictureChanges(), changes);
    }

    void picturesFollowTags()
    {
        m_bar->SetLamp(5);
        const QImage shown = m_bar->lampPanel(RX)->pixmap().toImage();
        QCOMPARE(QColor::fromRgba(shown.pixel(0, 0)), QColor(0, 255, 0));
    }

    void txGoesOutAfterItsTimer()
    {
        m_bar->SetLamp(4);
        m_bar->SetLamp(5);
        QSignalSpy fired(&m_bar->timer1(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(m_bar->lampTag(TX), 1);
        QVERIFY(!m_bar->timer1().isActive());
    }

    void relightRestartsTheCountdown()
    {
        m_bar->SetLamp(4);
        QTest::qWait(300);
        const int changes = m_bar->pictureChanges();
        m_bar->SetLamp(4);
        // The countdown starts again from the full hold; the picture is not set again.
        QVERIFY2(m_bar->timer1().remainingTime() > 400,
                 qPrintable(QString::number(m_bar->timer1().remainingTime())));
        QCOMPARE(m_bar->pictureChanges(), changes);
        QCOMPARE(m_bar->lampTag(TX), 4);
        QTRY_COMPARE_WITH_TIMEOUT(m_bar->lampTag(TX), 1, 3000);
    }

    void steadyFramesKeepTheLampLit()
    {
        // TxOn every 100 ms for a second: lit throughout, one picture change, out afterwards.
        for (int i = 0; i < 10; ++i) {
            m_bar->SetLamp(4);
            QCOMPARE(m_bar->lampTag(TX), 4);
            QTest::qWait(100);
        }
        QCOMPARE(m_bar->pictureChanges(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_bar->lampTag(TX), 1, 3000);
        QCOMPARE(m_bar->pictureChanges(), 2);
    }

    void errorGoesOutWithTheRxTimer()
    {
        m_bar->SetLamp(5);
        m_bar->SetLamp(6);
        QSignalSpy fired(&m_bar->timer2(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(tags(), (QList<int>{1, 2, 3}));
        QVERIFY(!m_bar->timer2().isActive());
    }

    void errorAloneStaysLit()
    {
        m_bar->SetLamp(6);
        m_bar->SetLamp(4); // a TX timer tick must not touch the ER lamp
        QSignalSpy fired(&m_bar->timer1(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(tags(), (QList<int>{1, 2, 6}));
    }
};

QTEST_MAIN(TestStatusLamps)
#include "tst_statuslamps.moc"
