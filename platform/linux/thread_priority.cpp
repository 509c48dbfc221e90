#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>

// A low real-time priority: ahead of the desktop, behind the sound server's own threads.
bool RaiseThisThreadPriority() {
    sched_param param{};
    param.sched_priority = 10;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}
