// Requests that arrive from outside while the program shows a message: the
// shell's open requests, whose message box runs its own event loop while the
// client that asked may hang up, and files dropped on the frame.

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
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
// hang-up; the socket must still outlive the box, because the socket's
// readyRead, which ran the request, uses it again once the request returns
// (a socket deleted inside the box's loop is read after it is freed, which
// no sanitizer sees inside Qt's own code). The answer goes to nobody, the
// socket goes afterwards, and the program goes on serving the shell.
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
    bool hangUpSeen = false;
    bool aliveAtOK = false;
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
            if (serverSide) QObject::connect(serverSide, &QLocalSocket::disconnected, [&] { hangUpSeen = true; });
            client->abort();
            delete client;
            client = nullptr;
            ticks = 0;
            return;
        }
        // Give the box's loop time to see the hang-up and run what it posts;
        // then the user reads on and presses OK.
        if (ticks < 100 && !(hangUpSeen && ticks > 30)) return;
        aliveAtOK = !serverSide.isNull();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    for (int i = 0; i < 500 && (shown.isEmpty() || QApplication::activeModalWidget()); ++i) QTest::qWait(10);
    poll.stop();
    kvtest::Settle();
    kv::SetMessageBoxHandler(std::move(recorder));
    delete client;

    EXPECT_EQ(shown, QStringList{QStringLiteral("Cannot open %1.").arg(missing)});
    EXPECT_TRUE(hangUpSeen) << "the box's loop never saw the client go, so nothing here was tested";
    EXPECT_TRUE(aliveAtOK) << "the socket was deleted while its request was still being served";
    EXPECT_TRUE(serverSide.isNull());
    EXPECT_TRUE(ServerSockets(run).isEmpty());
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());

    // The program still answers the shell.
    const QString path = kvtest::WriteArchive("shell-after.dat", {{0x10, 0x1000, false, "Shed"}});
    EXPECT_EQ(Ask(run, "[open(\"" + path.toUtf8() + "\")]"), "ACK");
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
}

// A request usually comes while another program is active. Its message is
// still owned by the main frame and opens over it, as a message box is
// wherever none of the program's windows is active.
TEST_F(Shell, AFailedRequestsMessageIsOwnedByTheFrameWhileTheProgramIsInTheBackground) {
    AppRun run;
    ASSERT_TRUE(run.started);
    kv::MessageBoxHandler recorder = kv::SetMessageBoxHandler(nullptr);
    kv::InstallQtMessageBoxes(false);
    QApplication::setActiveWindow(nullptr);
    kvtest::Settle();
    ASSERT_EQ(QApplication::activeWindow(), nullptr);

    const QString missing = QDir::temp().filePath(QStringLiteral("korvane-shell-%1-away.dat").arg(QCoreApplication::applicationPid()));
    QFile::remove(missing);
    QWidget* owner = nullptr;
    bool shown = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || shown) return;
        shown = true;
        owner = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    EXPECT_EQ(Ask(run, "[open(\"" + missing.toUtf8() + "\")]"), "NAK");
    poll.stop();
    kv::SetMessageBoxHandler(std::move(recorder));
    EXPECT_TRUE(shown);
    EXPECT_EQ(owner, run.frame());
}

// While a dialog or message box holds the program, a request is refused and
// nothing opens beneath it; once the box has gone, the same request opens.
TEST_F(Shell, ARequestWhileAModalBoxShowsIsRefused) {
    AppRun run;
    ASSERT_TRUE(run.started);
    const QString path = kvtest::WriteArchive("shell-modal.dat", {{0x10, 0x1000, false, "Shed"}});
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Korvane"), QStringLiteral("Busy"), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &box);
    EXPECT_EQ(Ask(run, "[open(\"" + path.toUtf8() + "\")]"), "NAK");
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());
    box.hide();
    kvtest::Settle();
    EXPECT_EQ(Ask(run, "[open(\"" + path.toUtf8() + "\")]"), "ACK");
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
}

// Dropped files open once the drop has returned, so that the program they
// were dragged from is not held while a message about one of them waits.
TEST_F(Shell, DroppedFilesOpenAfterTheDropHasReturned) {
    AppRun run;
    ASSERT_TRUE(run.started);
    const QString good = kvtest::WriteArchive("drop-later.dat", {{0x10, 0x1000, false, "Shed"}});
    const QString bad = QString::fromStdString(kvtest::WriteTempFile("drop-later-bad.dat", std::vector<std::uint8_t>(10, 0)));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(bad), QUrl::fromLocalFile(good)});
    const QPoint at = run.frame()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.frame(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.frame(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(run.messages.texts().empty());
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());
    kvtest::Settle();
    EXPECT_EQ(run.messages.texts(), std::vector<std::wstring>{L"Unexpected file format."});
    ASSERT_EQ(run.frame()->GetChildFrames().size(), 1u);
    EXPECT_EQ(run.frame()->GetChildFrames()[0]->windowTitle(), "drop-later.dat");
}

}  // namespace
