#pragma once

#include <QLoggingCategory>

// What the server tells an administrator who follows it (the system journal
// of the headless server): start and stop, the state of the line, clients
// that connect and leave, every call with its number and result. Errors are
// said through the program's reporter.
Q_DECLARE_LOGGING_CATEGORY(lcServer)  // vorsa.server: start, stop, errors without a window
Q_DECLARE_LOGGING_CATEGORY(lcLine)    // vorsa.server.line
Q_DECLARE_LOGGING_CATEGORY(lcClients) // vorsa.server.clients
Q_DECLARE_LOGGING_CATEGORY(lcCalls)   // vorsa.server.calls
