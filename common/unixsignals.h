#pragma once

#include <functional>
#include <memory>

namespace vorsa {

// Turns SIGTERM and SIGINT into a call of `handler` on the event thread (a
// self-pipe read by a socket notifier), so the program can shut down the
// orderly way. Call once, after the application object exists.
void onTerminationSignal(std::function<void()> handler);

// The same, caught from its creation on, with the handler held back while
// the program loads (a load may run event loops in its message boxes): a
// signal meanwhile is served by open(), once the program can shut down.
class TerminationSignal {
public:
    explicit TerminationSignal(std::function<void()> handler);
    // From now on a signal runs the handler at once. True when one came
    // before: the handler has then run.
    bool open();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vorsa
