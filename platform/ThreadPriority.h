#pragma once

#include <vector>

namespace kelvane {

// The system's IDs of this process's threads at the time of the call.
std::vector<int> ProcessThreadIds();
// The system's ID of the calling thread.
int CallingThreadId();

// Makes one thread of this process, and only it, yield the processor to the others: its
// scheduling niceness goes up by `steps`. An ordinary user can never take this back, so it suits
// the threads of a process that does one job and ends. False when the system refuses.
bool LowerThreadPriority(int threadId, int steps);
// The thread's niceness; 0 when it cannot be read.
int ThreadNiceness(int threadId);

}  // namespace kelvane
