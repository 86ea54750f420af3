// Scheduling hints for the program's own threads.
#pragma once

namespace platform {

// Tells the scheduler that the calling thread does throughput work beside
// the run's main work (Linux SCHED_BATCH): when it wakes, it does not take
// the processor from a running thread, but it keeps its share of processor
// time. A hint: failure changes nothing and is ignored.
void MarkThreadAsBatch();

}  // namespace platform
