#pragma once

#include <string>

// The words for an errno value in a message ("Unable to create file 'X' -
// <text>"). The C library's own text, except where it would mislead: on
// Windows EBUSY means that another program holds the file open.
std::string ErrorText(int error);
