#include "platform/TimerResolution.h"

// The kernel's timers already have the resolution the waits need.
void UseFineTimerResolution(bool) {}
