#include "app/RecentFiles.h"

#include <QTest>

#include <memory>

using namespace nuvora;

namespace {

AppState *withList(AppState &state, const QStringList &list)
{
    for (int i = 0; i < kRecentFileCount; ++i)
        state.RecentFiles[size_t(i)] = list.value(i);
    return &state;
}

QStringList listOf(const AppState &state)
{
    QStringList out;
    for (const QString &entry : state.RecentFiles)
        out << entry;
    return out;
}

} // namespace

// The recent-file list: moves on a load, removal of an entry, what the menu shows.
class TestRecentFiles : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppState> m_state = std::make_unique<AppState>();

private slots:
    void add_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("after");
        const QStringList full = {"/a.mhx", "/b.mhx", "/c.mhx", "/d.mhx"};
        QTest::newRow("into an empty list")
            << QStringList{"", "", "", ""} << "/n.mhx" << QStringList{"/n.mhx", "", "", ""};
        QTest::newRow("new path into a full list drops the oldest")
            << full << "/n.mhx" << QStringList{"/n.mhx", "/a.mhx", "/b.mhx", "/c.mhx"};
        QTest::newRow("already at entry 0") << full << "/a.mhx" << full;
        QTest::newRow("from entry 1")
            << full << "/b.mhx" << QStringList{"/b.mhx", "/a.mhx", "/c.mhx", "/d.mhx"};
        QTest::newRow("from entry 2, entry 3 unchanged")
            << full << "/c.mhx" << QStringList{"/c.mhx", "/a.mhx", "/b.mhx", "/d.mhx"};
        QTest::newRow("from entry 3")
            << full << "/d.mhx" << QStringList{"/d.mhx", "/a.mhx", "/b.mhx", "/c.mhx"};
        QTest::newRow("letter case makes another path")
            << full << "/B.mhx" << QStringList{"/B.mhx", "/a.mhx", "/b.mhx", "/c.mhx"};
        QTest::newRow("duplicate at 1 and 3: the later copy moves")
            << QStringList{"/a.mhx", "/x.mhx", "/c.mhx", "/x.mhx"} << "/x.mhx"
            << QStringList{"/x.mhx", "/a.mhx", "/x.mhx", "/c.mhx"};
        QTest::newRow("partial list grows") << QStringList{"/a.mhx", "/b.mhx", "", ""} << "/n.mhx"
                                            << QStringList{"/n.mhx", "/a.mhx", "/b.mhx", ""};
        QTest::newRow("trailing blank is another path")
            << full << "/a.mhx " << QStringList{"/a.mhx ", "/a.mhx", "/b.mhx", "/c.mhx"};
    }

    void add()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, path);
        QFETCH(QStringList, after);
        AddRecentFile(*withList(*m_state, before), path);
        QCOMPARE(listOf(*m_state), after);
    }

    void remove_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("after");
        const QStringList full = {"/a.mhx", "/b.mhx", "/c.mhx", "/d.mhx"};
        QTest::newRow("item 1") << full << 1 << QStringList{"/b.mhx", "/c.mhx", "/d.mhx", ""};
        QTest::newRow("item 2") << full << 2 << QStringList{"/a.mhx", "/c.mhx", "/d.mhx", ""};
        QTest::newRow("item 3") << full << 3 << QStringList{"/a.mhx", "/b.mhx", "/d.mhx", ""};
        QTest::newRow("item 4: nothing moves")
            << full << 4 << QStringList{"/a.mhx", "/b.mhx", "/c.mhx", ""};
        QTest::newRow("item 1 of a partial list")
            << QStringList{"/a.mhx", "/b.mhx", "", ""} << 1 << QStringList{"/b.mhx", "", "", ""};
        QTest::newRow("item 0 changes nothing") << full << 0 << full;
        QTest::newRow("item 5 changes nothing") << full << 5 << full;
    }

    void remove()
    {
        QFETCH(QStringList, before);
        QFETCH(int, item);
        QFETCH(QStringList, after);
        RemoveRecentFile(*withList(*m_state, before), item);
        QCOMPARE(listOf(*m_state), after);
    }

    void show_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QList<bool>>("visible");
        QTest::newRow("empty list")
            << QStringList{"", "", "", ""} << QList<bool>{false, false, false, false};
        QTest::newRow("two entries")
            << QStringList{"/a.mhx", "/b.mhx", "", ""} << QList<bool>{true, true, false, false};
        QTest::newRow("hole from a hand-edited file")
            << QStringList{"/a.mhx", "", "/c.mhx", ""} << QList<bool>{true, false, true, false};
        QTest::newRow("full") << QStringList{"C:\\a.mhx", "/b", "/c", "/d"}
                              << QList<bool>{true, true, true, true};
    }

    void show()
    {
        QFETCH(QStringList, list);
        QFETCH(QList<bool>, visible);
        const RecentMenu menu = ShowRecentFiles(*withList(*m_state, list));
        for (int i = 0; i < kRecentFileCount; ++i) {
            QCOMPARE(menu.items[size_t(i)].caption, list.at(i));
            QCOMPARE(menu.items[size_t(i)].visible, visible.at(i));
        }
        QVERIFY(menu.separatorVisible);
    }
};

std::unique_ptr<QObject> makeRecentFilesTest()
{
    return std::make_unique<TestRecentFiles>();
}

#include "tst_RecentFiles.moc"
