#include "statementwatchdog.h"

#include <sys/socket.h>

namespace vorsa::db {

StatementWatchdog::~StatementWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void StatementWatchdog::arm(int socket, std::chrono::milliseconds limit)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_socket = socket;
        m_deadline = std::chrono::steady_clock::now() + limit;
        m_armed = true;
        m_expired = false;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        // A thread that waits for an earlier deadline finds the new one when
        // it wakes (it is never earlier): only an idle one needs waking, so
        // a statement usually costs no switch to the thread at all.
        wake = m_idle;
    }
    if (wake)
        m_wake.notify_one();
}

bool StatementWatchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
    m_socket = -1;
    return m_expired;
}

void StatementWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_armed) {
            m_idle = true;
            m_wake.wait(lock);
            m_idle = false;
            continue;
        }
        if (std::chrono::steady_clock::now() < m_deadline) {
            m_wake.wait_until(lock, m_deadline);
            continue;
        }
        // The statement is still running (disarm takes the lock, so the
        // socket is still the connection's): the blocked wait ends at once.
        ::shutdown(m_socket, SHUT_RDWR);
        m_expired = true;
        m_armed = false;
    }
}

} // namespace vorsa::db
