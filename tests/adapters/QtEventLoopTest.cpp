#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QDateTime>

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"

using ostrell::adaptertest::testApp;
using ostrell::platform::ProgramEnding;
using ostrell::platform::QtEventLoop;

namespace {

class EventLoopTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = testApp();  // first: Qt objects below need it
    void SetUp() override { testApp(); }
    QtEventLoop loop_;
};

}  // namespace

TEST_F(EventLoopTest, WaitReturnsWhenTheReplyArrivesAndGivesUpAtTheDeadline) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [peer] {
            if (peer->canReadLine()) peer->write("pong\n");
        });
    });
    QTcpSocket client;
    QByteArray reply;
    QObject::connect(&client, &QTcpSocket::connected, [&] { client.write("ping\n"); });
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { reply += client.readAll(); });
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());

    constexpr int64_t kDeadline = 8000;
    int64_t started = loop_.nowMs();
    EXPECT_TRUE(loop_.waitUntil([&] { return reply == "pong\n"; }, kDeadline));
    EXPECT_LT(loop_.nowMs() - started, kDeadline / 2) << "the wait must end with the reply, not the deadline";

    started = loop_.nowMs();
    EXPECT_FALSE(loop_.waitUntil([] { return false; }, 150));
    const int64_t waited = loop_.nowMs() - started;
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, 150 + kDeadline / 2);

    EXPECT_TRUE(loop_.waitUntil([] { return true; }, 0)) << "a condition that holds needs no time";

    // A condition that no event changes (here the clock) is still seen long before the deadline.
    started = loop_.nowMs();
    EXPECT_TRUE(loop_.waitUntil([&] { return loop_.nowMs() - started >= 100; }, kDeadline));
    EXPECT_LT(loop_.nowMs() - started, kDeadline / 2);
}

TEST_F(EventLoopTest, TimersTickUntilStoppedAndPostedCallsRunOnce) {
    int ticks = 0;
    auto timer = loop_.createTimer([&] { ++ticks; });
    EXPECT_EQ(timer->interval(), 0);
    EXPECT_FALSE(loop_.waitUntil([&] { return ticks > 0; }, 60)) << "a new timer is stopped";

    timer->setInterval(10);
    EXPECT_EQ(timer->interval(), 10);
    EXPECT_TRUE(loop_.waitUntil([&] { return ticks >= 3; }, 5000));
    timer->setInterval(0);
    EXPECT_EQ(timer->interval(), 0);
    const int atStop = ticks;
    loop_.waitUntil([] { return false; }, 60);
    EXPECT_EQ(ticks, atStop) << "interval 0 stops the timer";

    int posted = 0;
    loop_.post(20, [&] { ++posted; });
    EXPECT_EQ(posted, 0) << "a posted call runs later, on the loop";
    EXPECT_TRUE(loop_.waitUntil([&] { return posted == 1; }, 5000));
    loop_.waitUntil([] { return false; }, 60);
    EXPECT_EQ(posted, 1);

    const int64_t before = loop_.nowMs();
    loop_.waitUntil([] { return false; }, 30);
    EXPECT_GE(loop_.nowMs() - before, 30) << "the clock moves with real time";
}

TEST_F(EventLoopTest, EndRequestMakesRunningWaitsThrowAndTheMainLoopReturn) {
    // The request comes from a timer tick that itself waits (as a cycle would): the inner wait throws, the
    // tick's exception stays out of Qt, and the outer wait throws as well.
    bool tickWaited = false;
    bool tickUnwound = false;
    auto timer = loop_.createTimer([&] {
        struct Unwound {
            bool& flag;
            ~Unwound() { flag = true; }
        } unwound{tickUnwound};
        tickWaited = true;
        loop_.post(10, [&] { loop_.requestEnd(); });
        loop_.waitUntil([] { return false; }, 8000);
        ADD_FAILURE() << "the inner wait returned instead of throwing";
    });
    timer->setInterval(10);

    const int64_t started = loop_.nowMs();
    EXPECT_THROW(loop_.waitUntil([] { return false; }, 8000), ProgramEnding);
    EXPECT_LT(loop_.nowMs() - started, 4000);
    EXPECT_TRUE(tickWaited);
    EXPECT_TRUE(tickUnwound);
    EXPECT_TRUE(loop_.endRequested());
    EXPECT_THROW(loop_.waitUntil([] { return true; }, 100), ProgramEnding) << "later waits give up at once";
    timer->setInterval(0);

    // The main loop: an end requested while it runs makes it return.
    QtEventLoop mainLoop;
    mainLoop.post(10, [&] { mainLoop.requestEnd(); });
    QTimer watchdog;  // bounds the test if the loop failed to return
    watchdog.setSingleShot(true);
    bool watchdogFired = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(8000);
    mainLoop.run();
    EXPECT_FALSE(watchdogFired);

    QtEventLoop endedEarly;
    endedEarly.requestEnd();
    EXPECT_EQ(endedEarly.run(), 0) << "an end requested before the loop starts is not lost";
}

TEST_F(EventLoopTest, TimeTextsFollowTheLogLayoutAndTheUserFormats) {
    const QRegularExpression logLayout(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    const QString log = QString::fromStdString(loop_.logTimestamp());
    EXPECT_TRUE(logLayout.match(log).hasMatch()) << log.toStdString();
    const QDateTime logged = QDateTime::fromString(log, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_LE(std::abs(logged.secsTo(QDateTime::currentDateTime())), 2);

    // The local text is the user's short date, one blank, and a time with seconds that reads back.
    const QLocale locale = QLocale::system();
    const QString text = QString::fromStdString(loop_.localDateTimeText());
    const QString today = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    ASSERT_TRUE(text.startsWith(today + u' ')) << text.toStdString();
    const QString timeText = text.mid(today.size() + 1);
    EXPECT_FALSE(timeText.isEmpty());
    EXPECT_FALSE(timeText.endsWith(u' '));
    EXPECT_GE(timeText.count(u':') + timeText.count(u'.'), 2)
        << "the long time shows seconds: " << timeText.toStdString();
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    if (!zone.isEmpty()) {
        EXPECT_FALSE(timeText.contains(zone)) << "no time zone in the stamp: " << timeText.toStdString();
    }
}

namespace {

// Times this thread gave up the processor of its own accord: one per sleep in the event dispatcher.
long voluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

}  // namespace

TEST_F(EventLoopTest, APauseRunsEventsAndSleepsThroughToItsEndWithoutPeriodicWakeUps) {
    int posted = 0;
    loop_.post(20, [&] { ++posted; });
    const int64_t started = loop_.nowMs();
    const long switchesBefore = voluntarySwitches();
    loop_.pause(600);
    const long switches = voluntarySwitches() - switchesBefore;
    const int64_t paused = loop_.nowMs() - started;
    EXPECT_EQ(posted, 1) << "events due during the pause run";
    EXPECT_GE(paused, 600);
    EXPECT_LT(paused, 600 + 4000);
    // A wait's condition is looked at every 50 ms (12 sleeps in 600 ms); a pause has none to look at:
    // one sleep up to the posted call, one to the end, and a little slack for the machine.
    EXPECT_LE(switches, 5) << "the pause woke " << switches << " times";

    loop_.post(10, [&] { loop_.requestEnd(); });
    EXPECT_THROW(loop_.pause(8000), ProgramEnding) << "an end request ends a pause at once";
    EXPECT_LT(loop_.nowMs() - started, 600 + 4000);
}

TEST_F(EventLoopTest, LogTimestampFollowsTheClockSecondBySecond) {
    // Made once per second and kept: two stamps taken around a second's turn must differ, and a stamp
    // always names the current local second (taken between two readings of the clock).
    const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    const auto stampNow = [] {
        return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    };
    for (int i = 0; i < 200; ++i) {
        const std::string before = stampNow();
        const std::string stamp = loop_.logTimestamp();
        const std::string after = stampNow();
        ASSERT_TRUE(form.match(QString::fromStdString(stamp)).hasMatch()) << stamp;
        ASSERT_TRUE(stamp == before || stamp == after) << before << " / " << stamp << " / " << after;
    }
    const std::string first = loop_.logTimestamp();
    loop_.pause(1001 - QDateTime::currentMSecsSinceEpoch() % 1000);  // into the next second
    EXPECT_NE(loop_.logTimestamp(), first) << "a kept stamp must not outlive its second";
}
