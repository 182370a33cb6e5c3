#include <QCoreApplication>
#include <QTest>

#include <memory>

std::unique_ptr<QObject> makeTextFileTest();
std::unique_ptr<QObject> makeLangTableTest();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    status |= QTest::qExec(makeTextFileTest().get(), argc, argv);
    status |= QTest::qExec(makeLangTableTest().get(), argc, argv);
    return status;
}
