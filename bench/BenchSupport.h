#pragma once

#include <vector>

// Small pieces every benchmark uses.
namespace tetrapan::bench {

// One figure as `name: value unit`, flushed at once so a long run shows its figures as they come.
void print(const char* name, double value, const char* unit, int decimals = 3);
// Lets the event loop run (mpv's events, the panes' painting) for the given time.
void runEventsFor(int ms);
// The middle value; 0 for none.
double median(std::vector<double> values);

} // namespace tetrapan::bench
