#pragma once

#include <windows.h>

// The errno value that stands for a Windows error in the file seams, so that
// shared code reports file failures one way on every OS. A file another
// program holds open (a sharing or lock violation) is EBUSY, which
// ErrorText() names in words a Windows user recognises.
int ErrnoFromWin32(DWORD error);
