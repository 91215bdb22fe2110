// The shell's open requests when the program must show a message while it
// answers: the message box runs its own event loop, and the client that asked
// may be gone by the time the user has read it.

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/message.h"
#include "platform/qt/qt_message.h"

namespace {

using kvtest::AppRun;

class Shell : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearKorvaneSettings(); }
    void TearDown() override { kvtest::ClearKorvaneSettings(); }

    // The sockets on which the program talks to its clients.
    static QList<QLocalSocket*> ServerSockets(AppRun& run) { return run.app->findChildren<QLocalSocket*>(); }

    static QString Ask(AppRun& run, const QByteArray& request) {
        QLocalSocket s;
        s.connectToServer(run.app->GetShellOpenName());
        EXPECT_TRUE(s.waitForConnected(2000));
        s.write("system\n" + request + "\n");
        s.flush();
        for (int i = 0; i < 200 && !s.canReadLine(); ++i) QTest::qWait(10);
        return QString::fromUtf8(s.readLine()).trimmed();
    }
};

// A client asks for a file that cannot be opened and hangs up while the
// program's message about it is still on screen. The box's own loop sees the
// hang-up and lets the client's socket go; answering it afterwards must not
// touch that socket, and the program goes on serving the shell.
TEST_F(Shell, ARequestWhoseClientHasGoneWhileTheBoxShowsIsDropped) {
    AppRun run;
    ASSERT_TRUE(run.started);
    // The real message box with its own modal loop, not the test's recorder.
    kv::MessageBoxHandler recorder = kv::SetMessageBoxHandler(nullptr);
    kv::InstallQtMessageBoxes(false);

    const QString missing = QDir::temp().filePath(QStringLiteral("korvane-shell-%1-gone.dat").arg(QCoreApplication::applicationPid()));
    QFile::remove(missing);
    auto* client = new QLocalSocket;
    client->connectToServer(run.app->GetShellOpenName());
    ASSERT_TRUE(client->waitForConnected(2000));
    client->write("system\n[open(\"" + missing.toUtf8() + "\")]\n");
    client->flush();

    QStringList shown;
    QPointer<QLocalSocket> serverSide;
    bool goneBeforeAnswer = false;
    int ticks = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ++ticks;
        if (!box) return;
        if (client) {
            shown << box->text();
            const auto sockets = ServerSockets(run);
            if (!sockets.isEmpty()) serverSide = sockets.front();
            client->abort();
            delete client;
            client = nullptr;
            ticks = 0;
            return;
        }
        // Give the box's loop time to see the hang-up; then the user reads on and presses OK.
        if (serverSide && ticks < 300) return;
        goneBeforeAnswer = serverSide.isNull();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    for (int i = 0; i < 500 && (shown.isEmpty() || QApplication::activeModalWidget()); ++i) QTest::qWait(10);
    poll.stop();
    kvtest::Settle();
    kv::SetMessageBoxHandler(std::move(recorder));
    delete client;

    EXPECT_EQ(shown, QStringList{QStringLiteral("Cannot open %1.").arg(missing)});
    EXPECT_TRUE(goneBeforeAnswer) << "the client's socket outlived the box, so nothing here was tested";
    EXPECT_TRUE(ServerSockets(run).isEmpty());
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());

    // The program still answers the shell.
    const QString path = kvtest::WriteArchive("shell-after.dat", {{0x10, 0x1000, false, "Shed"}});
    EXPECT_EQ(Ask(run, "[open(\"" + path.toUtf8() + "\")]"), "ACK");
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
}

}  // namespace
