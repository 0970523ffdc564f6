#include "platform/LocalTime.h"

bool ToLocalTime(std::time_t t, std::tm& local) {
    if (localtime_r(&t, &local)) return true;
    local = std::tm{};
    return false;
}
