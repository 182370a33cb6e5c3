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

    QList<int> tags() const { return {m_bar->lampTag(TX), m_bar->lampTag(RX), m_bar->lampTag(ER)}; }

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
                dark += c.alpha() > 128 && c.lightness() < 64;
            }
        QVERIFY2(dark >= 10, "the letters must be drawn in black");
        // Unlit TX, RX and ER differ only by their letters; they must still be told apart.
        QVERIFY(picture != lampPicture(image - 1).toImage());
    }

    void setLamp_data()
    {
        QTest::addColumn<QList<int>>("calls");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<bool>("timer1Active");
        QTest::addColumn<bool>("timer2Active");
        QTest::addColumn<int>("changes");
        QTest::newRow("out of range ignored")
            << QList<int>{0, 7, 255} << QList<int>{1, 2, 3} << false << false << 0;
        QTest::newRow("TxOn") << QList<int>{4} << QList<int>{4, 2, 3} << true << false << 1;
        QTest::newRow("RxOn") << QList<int>{5} << QList<int>{1, 5, 3} << false << true << 1;
        QTest::newRow("ErrOn: no timer")
            << QList<int>{6} << QList<int>{1, 2, 6} << false << false << 1;
        QTest::newRow("offs on unlit lamps")
            << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << false << false << 0;
        QTest::newRow("TxOn twice: one picture")
            << QList<int>{4, 4} << QList<int>{4, 2, 3} << true << false << 1;
        QTest::newRow("TxOff by hand: timer runs on")
            << QList<int>{4, 1} << QList<int>{1, 2, 3} << true << false << 2;
        QTest::newRow("ErrOff after ErrOn")
            << QList<int>{6, 3} << QList<int>{1, 2, 3} << false << false << 2;
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
        for (int lamp : {TX, RX, ER})
            QCOMPARE(m_bar->lampPanel(lamp)->pixmap().toImage(),
                     lampPicture(expected[lamp]).toImage());
    }

    void relitLampStaysLit()
    {
        m_bar->SetLamp(4);
        QTest::qWait(300);
        m_bar->SetLamp(4);
        // The countdown starts again from the full hold; the picture is not set again.
        QVERIFY2(m_bar->timer1().remainingTime() > 400,
                 qPrintable(QString::number(m_bar->timer1().remainingTime())));
        QCOMPARE(m_bar->pictureChanges(), 1);
        QCOMPARE(m_bar->lampTag(TX), 4);
        QSignalSpy fired(&m_bar->timer1(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(m_bar->lampTag(TX), 1);
        QVERIFY(!m_bar->timer1().isActive());
    }

    void errorLamp_data()
    {
        QTest::addColumn<QList<int>>("calls");
        QTest::addColumn<int>("timer");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("goes out with the RX timer") << QList<int>{5, 6} << 2 << QList<int>{1, 2, 3};
        QTest::newRow("the TX timer leaves it") << QList<int>{6, 4} << 1 << QList<int>{1, 2, 6};
    }
    void errorLamp()
    {
        QFETCH(QList<int>, calls);
        QFETCH(int, timer);
        QFETCH(QList<int>, after);
        for (int state : calls)
            m_bar->SetLamp(state);
        QSignalSpy fired(timer == 1 ? &m_bar->timer1() : &m_bar->timer2(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(tags(), after);
    }
};

QTEST_MAIN(TestStatusLamps)
#include "tst_statuslamps.moc"
