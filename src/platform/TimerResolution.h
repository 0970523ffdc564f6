#pragma once

// The waits between exchanges (DelayMs, the idle sleeps of timed transfers)
// are a few milliseconds; Windows sleeps in steps of 15.6 ms unless a
// program asks for 1 ms. On/off calls must pair up. Nothing to do elsewhere.
void UseFineTimerResolution(bool on);
