#include "platform/TimerResolution.h"

#include <windows.h>
#include <timeapi.h>

void UseFineTimerResolution(bool on) {
    if (on)
        timeBeginPeriod(1);
    else
        timeEndPeriod(1);
}
