#pragma once

#include <functional>

namespace vorsa {

// Turns SIGTERM and SIGINT into a call of `handler` on the event thread (a
// self-pipe read by a socket notifier), so the program can shut down the
// orderly way. Call once, after the application object exists.
void onTerminationSignal(std::function<void()> handler);

} // namespace vorsa
