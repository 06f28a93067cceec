#include "unixsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vorsa {
namespace {
int g_pipe[2] = {-1, -1};

void signalHandler(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1);
}
} // namespace

void onTerminationSignal(std::function<void()> handler)
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, handler] {
        char c;
        [[maybe_unused]] auto n = ::read(g_pipe[0], &c, 1);
        notifier->setEnabled(false); // one orderly shutdown is enough
        handler();
    });
    struct sigaction sa {};
    sa.sa_handler = signalHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

struct TerminationSignal::State {
    std::function<void()> handler;
    bool open = false;
    bool asked = false;
};

TerminationSignal::TerminationSignal(std::function<void()> handler)
    : m_state(std::make_shared<State>())
{
    m_state->handler = std::move(handler);
    onTerminationSignal([state = m_state] {
        if (state->open)
            state->handler();
        else
            state->asked = true;
    });
}

bool TerminationSignal::open()
{
    m_state->open = true;
    if (!m_state->asked)
        return false;
    m_state->handler();
    return true;
}

} // namespace vorsa
