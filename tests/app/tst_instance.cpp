// One instance per machine: the guard, across threads of one process and across processes, and
// the refusal at start-up.
//
// Run with "--hold-guard NAME" the program takes the guard, says whether it got it and keeps it
// until its standard input closes: the tests use that as the other process.

#include "app/MainFrame.h"
#include "app/MendoraApp.h"
#include "app/SingleInstance.h"
#include "msgbox/StyledMessageBox.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QUuid>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace mendora;

namespace {

QString UniqueName()
{
    return QStringLiteral("mendora-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

class TestInstance : public QObject {
    Q_OBJECT

private slots:
    void guardName();
    void secondGuardRefusedUntilFirstEnds();
    void guardOfAnotherProcess();
    void secondInstanceShowsMessageAndNoWindow();
};

void TestInstance::guardName()
{
    const QByteArray saved = qgetenv("MENDORA_INSTANCE_NAME");
    qunsetenv("MENDORA_INSTANCE_NAME");
    QCOMPARE(InstanceGuardName(), QStringLiteral("Global\\{3C5A0E92-7B14-4D6F-A8E1-52F09B6D4C17}"));
    qputenv("MENDORA_INSTANCE_NAME", "mendora-test-override");
    QCOMPARE(InstanceGuardName(), QStringLiteral("mendora-test-override"));
    if (saved.isEmpty())
        qunsetenv("MENDORA_INSTANCE_NAME");
    else
        qputenv("MENDORA_INSTANCE_NAME", saved);
}

void TestInstance::secondGuardRefusedUntilFirstEnds()
{
    const QString name = UniqueName();
    {
        CSingleInstanceGuard first(name);
        QVERIFY(!first.AlreadyExists());
        CSingleInstanceGuard second(name);
        QVERIFY(second.AlreadyExists());
        CSingleInstanceGuard other(UniqueName());
        QVERIFY(!other.AlreadyExists()); // names do not meet
    }
    CSingleInstanceGuard again(name);
    QVERIFY(!again.AlreadyExists()); // released with its holder
}

void TestInstance::guardOfAnotherProcess()
{
    const QString name = UniqueName();
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-guard"), name});
    QVERIFY(holder.waitForStarted(10000));
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    {
        CSingleInstanceGuard mine(name);
        QVERIFY(mine.AlreadyExists());
    }

    // the system lets go of the guard when its holder ends, however it ends
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
    CSingleInstanceGuard after(name);
    QVERIFY(!after.AlreadyExists());
}

void TestInstance::secondInstanceShowsMessageAndNoWindow()
{
    const QString name = UniqueName();
    CSingleInstanceGuard running(name);
    CSingleInstanceGuard starting(name);
    QVERIFY(starting.AlreadyExists());

    QStringList texts;
    std::uint32_t style = 0;
    QString caption;
    CScopedMessageBoxAnswerer answerer([&](CStyledMessageDialog& box) {
        texts << box.Params().text;
        style = box.Params().style;
        caption = box.windowTitle();
        return int(IdOk);
    });
    CMendoraApp app;
    QVERIFY(!app.InitInstance(starting));
    QCOMPARE(texts, QStringList{QStringLiteral("Another Instance of Mendora for Outlook Express is running ")});
    QCOMPARE(style, std::uint32_t(MbOk | MbIconExclamation));
    QCOMPARE(caption, QStringLiteral("Mendora for Outlook Express"));
    QVERIFY(!app.Frame());
    QVERIFY(!CMainFrame::Instance());
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--hold-guard") == 0) {
        CSingleInstanceGuard guard(QString::fromUtf8(argv[2]));
        std::printf("%s\n", guard.AlreadyExists() ? "busy" : "held");
        std::fflush(stdout);
        char byte = 0;
        while (::read(0, &byte, 1) > 0) {
        }
        return 0;
    }
    QApplication application(argc, argv);
    TestInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance.moc"
