#pragma once

// Lowers the calling thread to the lowest scheduling priority: start-up work done ahead on another
// thread must not take the processor from the window's own thread or the display server it waits on.
// Linux gives each thread its own nice value.
void LowerThisThreadsPriority();
