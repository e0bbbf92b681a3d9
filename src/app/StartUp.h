#pragma once

namespace vl {

// The life of the program with a window: progress window, hand-off and
// single-instance guard, main window, event loop. Returns the exit status.
int runProgram(int argc, char *argv[]);

} // namespace vl
