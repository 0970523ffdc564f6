#pragma once

// Registers the program's pictures and icons (veltrix.qrc). They live in a
// static library, whose automatic registration the linker drops; every
// class that loads one calls this first. Safe to call repeatedly.
void EnsureAppResources();
