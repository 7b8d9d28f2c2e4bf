#pragma once
// Start-up: from the command line and the machine-wide settings to the running windows.

namespace vel {

// The whole start-up, the message loop and the end of the process. Returns the exit code.
int RunVelmora(int argc, char **argv);

} // namespace vel
