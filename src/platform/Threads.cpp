#include "platform/Threads.h"

#include <pthread.h>
#include <sched.h>

namespace platform {

void MarkThreadAsBatch() {
#ifdef SCHED_BATCH
  sched_param param{};
  param.sched_priority = 0;
  (void)pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
#endif
}

}  // namespace platform
