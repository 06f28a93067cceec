#pragma once

namespace vorsa::test {

// Runs the test on a private session bus of its own.
//
// Call first thing in main(): unless the process already runs on such a bus,
// it starts itself again under `dbus-run-session` with the bus configuration
// of the build (build/dbus-1/session.conf: the services of this build tree
// only, so the bus starts this build's programs on their first call) and
// ends with that run's exit code. Inside, DBUS_SESSION_BUS_ADDRESS names the
// private bus, which ends with the test; the system bus address points
// nowhere, so no test reaches the machine's buses.
//
// Returns false (and the test runs on without a bus) when dbus-run-session
// is not installed or VORSA_BUILD_DIR is not set; tests then skip.
bool aufPrivatemBus(int argc, char** argv);

// Whether this process runs on the private bus started above.
bool privaterBus();

} // namespace vorsa::test
