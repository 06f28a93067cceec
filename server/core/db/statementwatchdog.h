#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vorsa::db {

// Ends a statement whose database server does not answer in time. The driver
// waits for the answer inside a blocking call; a thread of its own watches the
// clock beside it and, when the time is over, shuts the connection's socket
// down, so that the waiting call fails at once (the connection is then lost
// and is opened afresh by its owner). A server that is alive ends a slow
// statement itself first (statement_timeout); this is for one that no longer
// answers at all (stopped, hung, a machine that froze).
//
// One statement at a time; arm and disarm come from the thread that runs it.
class StatementWatchdog {
public:
    StatementWatchdog() = default;
    ~StatementWatchdog();
    StatementWatchdog(const StatementWatchdog&) = delete;
    StatementWatchdog& operator=(const StatementWatchdog&) = delete;

    // Watches the statement that starts now on `socket`.
    void arm(int socket, std::chrono::milliseconds limit);
    // The statement has ended; true when its time ran out before (the socket
    // was shut down).
    bool disarm();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stopping = false;
    bool m_armed = false;
    bool m_expired = false;
    bool m_idle = false; // the thread waits without a time
    int m_socket = -1;
    std::chrono::steady_clock::time_point m_deadline;
};

// Arms a watchdog for the lifetime of one statement (nothing without one).
class StatementDeadline {
public:
    StatementDeadline(StatementWatchdog* watchdog, int socket, std::chrono::milliseconds limit)
        : m_watchdog(socket >= 0 ? watchdog : nullptr)
    {
        if (m_watchdog)
            m_watchdog->arm(socket, limit);
    }
    ~StatementDeadline() { end(); }
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;

    // Ends the watch; true when the time had run out.
    bool end()
    {
        if (m_watchdog && m_watchdog->disarm())
            m_expired = true;
        m_watchdog = nullptr;
        return m_expired;
    }

private:
    StatementWatchdog* m_watchdog;
    bool m_expired = false;
};

} // namespace vorsa::db
