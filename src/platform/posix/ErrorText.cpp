#include "platform/ErrorText.h"

#include <cstring>

std::string ErrorText(int error) { return std::strerror(error); }
