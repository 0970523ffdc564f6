#include "platform/ErrorText.h"

#include <cerrno>
#include <cstring>

std::string ErrorText(int error) {
    // The file seams give EBUSY for a sharing violation; the C library calls
    // that "Resource device".
    if (error == EBUSY) return "The file is open in another program";
    return std::strerror(error);
}
