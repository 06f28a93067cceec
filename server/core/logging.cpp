#include "logging.h"

Q_LOGGING_CATEGORY(lcServer, "vorsa.server", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLine, "vorsa.server.line", QtInfoMsg)
Q_LOGGING_CATEGORY(lcClients, "vorsa.server.clients", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCalls, "vorsa.server.calls", QtInfoMsg)
