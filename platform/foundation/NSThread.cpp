#include "platform/foundation/NSThread.h"

#include <unistd.h>

bool NSThread::isMainThread()
{
    // On Linux the main thread's id is the process id.
    return gettid() == getpid();
}
