// The foreground behaviour of the client window: always on top, up on a
// call, and back down when the on-call period ends.
#include "clientsettings.h"
#include "desktop.h"
#include "foreground.h"
#include "windowstacking.h"

#include <QSignalSpy>
#include <QTest>

using namespace vorsa;
using State = RecordingWindowStacking::State;

namespace {
struct Machine {
    ClientSettings settings;
    RecordingWindowStacking window;
    RecordingDesktop desktop;
    Foreground foreground{settings, window, desktop};

    Machine(bool topmost, bool byCall, int seconds)
    {
        settings.Topmost = topmost;
        settings.TopmostByCall = byCall;
        settings.TopmostSec = seconds;
    }
};
} // namespace

class ClientForegroundTest : public QObject {
    Q_OBJECT
private slots:
    void alertBringsUpWithoutStayingAbove();
    void alertRestoresAMinimisedWindow();
    void alertKeepsATopmostWindowAbove();
    void periodLengthFollowsTopmostSec_data();
    void periodLengthFollowsTopmostSec();
    void periodEndDropsBackAndMinimises_data();
    void periodEndDropsBackAndMinimises();
    void bothOptionsOnDropAndMinimiseAfterEveryCall();
    void periodEndsByItsTimer();
    void alwaysOnTopMenuSwitchesStackingAndTheOtherOptionOff();
    void onCallMenuSwitchesTheOtherOptionOffButNotTheStacking();
};

void ClientForegroundTest::alertBringsUpWithoutStayingAbove()
{
    Machine m(false, true, 3);
    m.foreground.alert();
    QCOMPARE(m.desktop.beeps, 1);
    QCOMPARE(m.window.calls, (QStringList{"keepAbove:1", "show", "keepAbove:0", "show"}));
    QVERIFY(!m.window.keepAbove);
    QVERIFY(m.foreground.periodRunning());
}

void ClientForegroundTest::alertRestoresAMinimisedWindow()
{
    Machine m(false, true, 3);
    m.window.state = State::Minimized;
    m.foreground.alert();
    QCOMPARE(m.window.calls.first(), QStringLiteral("restore"));
    QCOMPARE(m.window.state, State::Normal);
}

void ClientForegroundTest::alertKeepsATopmostWindowAbove()
{
    Machine m(true, true, 0);
    m.foreground.alert();
    QCOMPARE(m.window.calls, (QStringList{"keepAbove:1", "show"}));
    QVERIFY(m.window.keepAbove);
    QVERIFY(!m.foreground.periodRunning()); // 0 seconds: it stays up
}

void ClientForegroundTest::periodLengthFollowsTopmostSec_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("ms");
    QTest::newRow("3") << 3 << true << 3000;
    QTest::newRow("0") << 0 << false << 0;
    QTest::newRow("negative") << -2 << false << 0;
    QTest::newRow("huge is capped") << 2000000000 << true << std::numeric_limits<int>::max();
}

void ClientForegroundTest::periodLengthFollowsTopmostSec()
{
    QFETCH(int, seconds);
    QFETCH(bool, running);
    QFETCH(int, ms);
    Machine m(false, true, seconds);
    m.foreground.alert();
    QCOMPARE(m.foreground.periodRunning(), running);
    if (running)
        QCOMPARE(m.foreground.periodMilliseconds(), ms);
}

void ClientForegroundTest::periodEndDropsBackAndMinimises_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("normal is minimised") << int(State::Normal) << int(State::Minimized);
    QTest::newRow("maximised stays") << int(State::Maximized) << int(State::Maximized);
    QTest::newRow("minimised stays") << int(State::Minimized) << int(State::Minimized);
}

void ClientForegroundTest::periodEndDropsBackAndMinimises()
{
    QFETCH(int, before);
    QFETCH(int, after);
    Machine m(false, true, 3);
    m.foreground.alert();
    m.window.state = State(before);
    m.window.calls.clear();
    m.foreground.Timer1_Timer();
    QCOMPARE(int(m.window.state), after);
    QCOMPARE(m.window.calls.mid(0, 2), (QStringList{"keepAbove:0", "show"}));
    QVERIFY(!m.foreground.periodRunning());
}

void ClientForegroundTest::bothOptionsOnDropAndMinimiseAfterEveryCall()
{
    Machine m(true, true, 3);
    m.foreground.VordergrundSetzen(m.settings.Topmost); // as the window loads
    QVERIFY(m.window.keepAbove);
    for (int call = 0; call < 2; ++call) {
        m.foreground.alert();
        QVERIFY(m.window.keepAbove);
        QCOMPARE(m.window.state, State::Normal);
        m.foreground.Timer1_Timer();
        QVERIFY(!m.window.keepAbove); // whatever "Immer im Vordergrund" says
        QCOMPARE(m.window.state, State::Minimized);
    }
    QCOMPARE(m.desktop.beeps, 2);
}

void ClientForegroundTest::periodEndsByItsTimer()
{
    Machine m(false, true, 1);
    m.foreground.alert();
    QVERIFY(QTest::qWaitFor([&] { return m.window.state == State::Minimized; }, 3000));
    QVERIFY(!m.foreground.periodRunning());
}

void ClientForegroundTest::alwaysOnTopMenuSwitchesStackingAndTheOtherOptionOff()
{
    Machine m(false, true, 3);
    QSignalSpy changed(&m.foreground, &Foreground::optionsChanged);
    m.foreground.mnuImmerImVordergrund_Click();
    QVERIFY(m.settings.Topmost);
    QVERIFY(!m.settings.TopmostByCall);
    QVERIFY(m.window.keepAbove);
    m.foreground.mnuImmerImVordergrund_Click();
    QVERIFY(!m.settings.Topmost);
    QVERIFY(!m.settings.TopmostByCall); // stays off
    QVERIFY(!m.window.keepAbove);
    QCOMPARE(changed.count(), 2);
}

void ClientForegroundTest::onCallMenuSwitchesTheOtherOptionOffButNotTheStacking()
{
    Machine m(true, false, 3);
    m.foreground.VordergrundSetzen(true);
    m.window.calls.clear();
    m.foreground.mnuBeiAnrufInVordergrund_Click();
    QVERIFY(m.settings.TopmostByCall);
    QVERIFY(!m.settings.Topmost);
    QVERIFY(m.window.calls.isEmpty());
    QVERIFY(m.window.keepAbove); // until the next call or menu
    m.foreground.mnuBeiAnrufInVordergrund_Click();
    QVERIFY(!m.settings.TopmostByCall);
    QVERIFY(!m.settings.Topmost);
}

QTEST_GUILESS_MAIN(ClientForegroundTest)
#include "tst_clientforeground.moc"
