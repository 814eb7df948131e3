#include "widgets/LowPriority.h"

#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadsPriority()
{
    // Failing leaves the thread as it was, which only costs time.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}
