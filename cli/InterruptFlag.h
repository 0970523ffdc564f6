#pragma once

// Turns SIGINT, SIGTERM and SIGHUP into a flag while the object lives, so
// that a loop of exchanges can stop between two of them and still put the
// controller's parameter set back, also when its terminal goes away. A second
// signal ends the process as usual.
class InterruptFlag {
public:
    InterruptFlag();
    ~InterruptFlag();
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    static bool Raised();
    // The signal that raised the flag, 0 while none did.
    static int Signal();
};
