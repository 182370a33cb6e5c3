#include "ui/StatusLamps.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace nuvora;

namespace {
constexpr int TX = 0, RX = 1, ER = 2;
// The ground of pictures 1..6: unlit ones are transparent, then yellow, green, red.
const QRgb kGround[] = {0, 0, 0, qRgb(255, 255, 0), qRgb(0, 255, 0), qRgb(255, 0, 0)};
} // namespace

class TestStatusLamps : public QObject {
    Q_OBJECT

    std::unique_ptr<StatusLamps> m_bar;

    int tags() const // TX, RX, ER: 123 all unlit
    {
        return 100 * m_bar->lampTag(TX) + 10 * m_bar->lampTag(RX) + m_bar->lampTag(ER);
    }
    void setLamps(const QString &states)
    {
        for (const QString &state : states.split(' '))
            m_bar->SetLamp(LampState(state.toInt()));
    }

private slots:
    void init()
    {
        m_bar = std::make_unique<StatusLamps>();
        m_bar->InitStatusBar(new QProgressBar, 1.0 / 15.0);
    }
    void cleanup() { m_bar.reset(); }

    void pictures()
    {
        for (int image = 1; image <= 6; ++image) {
            const QImage picture = lampPicture(image).toImage();
            QCOMPARE(picture.size(), QSize(15, 15));
            QCOMPARE(picture.pixel(0, 0), kGround[image - 1]);
            int dark = 0;
            for (int i = 0; i < 15 * 15; ++i) {
                const QColor c = QColor::fromRgba(picture.pixel(i % 15, i / 15));
                dark += c.alpha() > 128 && c.lightness() < 64;
            }
            QVERIFY2(dark >= 10, "the letters must be drawn in black");
            // Unlit TX, RX and ER differ only by their letters; they must still be told apart.
            QVERIFY(picture != lampPicture(image % 3 == 0 ? image - 2 : image + 1).toImage());
        }
    }
    void setLamp_data()
    {
        QTest::addColumn<QString>("calls");
        QTest::addColumn<int>("timers"); // running afterwards: 1 TX, 2 RX
        QTest::addColumn<int>("tags");
        QTest::addColumn<int>("changes"); // pictures set
        QTest::newRow("out of range ignored") << "0 7 255" << 0 << 123 << 0;
        QTest::newRow("TxOn") << "4" << 1 << 423 << 1;
        QTest::newRow("RxOn") << "5" << 2 << 153 << 1;
        QTest::newRow("ErrOn: no timer") << "6" << 0 << 126 << 1;
        QTest::newRow("TxOn twice: one picture") << "4 4" << 1 << 423 << 1;
        QTest::newRow("TxOff by hand: timer runs on") << "4 1" << 1 << 123 << 2;
        QTest::newRow("ErrOff after ErrOn") << "6 3" << 0 << 123 << 2;
    }
    void setLamp()
    {
        QFETCH(QString, calls);
        QFETCH(int, timers);
        QFETCH(int, tags);
        QFETCH(int, changes);
        setLamps(calls);
        QCOMPARE(this->tags(), tags);
        QCOMPARE(m_bar->timer1().isActive(), bool(timers & 1));
        QCOMPARE(m_bar->timer2().isActive(), bool(timers & 2));
        QCOMPARE(m_bar->pictureChanges(), changes);
        for (int lamp : {TX, RX, ER})
            QCOMPARE(m_bar->lampPanel(lamp)->pixmap().toImage().pixel(0, 0),
                     kGround[m_bar->lampTag(lamp) - 1]);
    }
    // Relit after 0.3 s, a lamp goes out half a second after the last lighting, not before
    // and not much later.
    void lampHold_data()
    {
        QTest::addColumn<int>("lamp");
        QTest::newRow("TX") << TX;
        QTest::newRow("RX") << RX;
    }
    void lampHold()
    {
        QFETCH(int, lamp);
        const auto on = LampState(lamp + 4);
        m_bar->SetLamp(on);
        QTest::qWait(300);
        m_bar->SetLamp(on);
        QElapsedTimer lit;
        lit.start();
        while (m_bar->lampTag(lamp) != lamp + 1 && lit.elapsed() < 3000)
            QTest::qWait(5);
        QVERIFY2(lit.elapsed() >= 450 && lit.elapsed() <= 800,
                 qPrintable(QString::number(lit.elapsed())));
        QCOMPARE(m_bar->pictureChanges(), 2);
    }
    void errorLamp_data()
    {
        QTest::addColumn<QString>("calls");
        QTest::addColumn<int>("timer");
        QTest::addColumn<int>("after");
        QTest::newRow("goes out with the RX timer") << "5 6" << 2 << 123;
        QTest::newRow("the TX timer leaves it") << "6 4" << 1 << 126;
    }
    void errorLamp()
    {
        QFETCH(QString, calls);
        QFETCH(int, timer);
        QFETCH(int, after);
        setLamps(calls);
        QSignalSpy fired(timer == 1 ? &m_bar->timer1() : &m_bar->timer2(), &QTimer::timeout);
        QVERIFY(fired.wait(2000));
        QCOMPARE(tags(), after);
    }
};

QTEST_MAIN(TestStatusLamps)
#include "tst_statuslamps.moc"
