#pragma once

namespace vl {

// A diagnostic for the start-up benchmark: prints one line on stderr,
//   first-paint-ms <since process start> peak-rss-kib <VmHWM> monotonic-ns <CLOCK_MONOTONIC now>
// The program and the bare-window baseline both print it, so the figures
// mean the same for both.
void printFirstPaintReport();

} // namespace vl
