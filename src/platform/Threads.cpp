#include "platform/Threads.h"

#include <pthread.h>
#include <sched.h>

namespace platform {

void MarkThreadAsBatch() {
#ifdef SCHED_BATCH
  const sched_param param{};  // priority 0, the only one batch work has
  (void)pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
#endif
}

}  // namespace platform
