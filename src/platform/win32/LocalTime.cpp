#include "platform/LocalTime.h"

bool ToLocalTime(std::time_t t, std::tm& local) {
    if (localtime_s(&local, &t) == 0) return true;
    local = std::tm{};
    return false;
}
