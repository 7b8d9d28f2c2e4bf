#pragma once
// The end of the session: on Windows the system asks the main window to close before it
// shuts down; here a termination signal (SIGTERM, SIGHUP, SIGINT) does the same, so that
// the tables are closed and the backup is written instead of the process just vanishing.
#include <functional>

namespace vel::platform {

// From now on a termination signal runs `close` on the main thread (once per signal).
void OnTerminationRequest(std::function<void()> close);

} // namespace vel::platform
