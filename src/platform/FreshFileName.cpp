#include "platform/FreshFileName.h"

#include <ctime>
#include <filesystem>

#include "platform/LocalTime.h"

std::string FreshStampedName(const std::string& prefix, const std::string& extension) {
    std::tm local{};
    ToLocalTime(std::time(nullptr), local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = prefix + stamp;
    std::string name = base + extension;
    // Anything of that name counts as taken, a dangling link included.
    const auto taken = [](const std::string& candidate) {
        std::error_code error;
        return std::filesystem::symlink_status(candidate, error).type() != std::filesystem::file_type::not_found;
    };
    for (int n = 2; taken(name); ++n) name = base + "-" + std::to_string(n) + extension;
    return name;
}
