// The recipe reader on any text: a refusal or a recipe, never a crash (the
// TOML parser underneath recurses, so nesting is the thing to try).
#include <cstdint>
#include <string>

#include "station/Recipe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto recipe = ParseRecipe(text, "/nonexistent/recipe.toml", nullptr, error);
    // The files it names cannot exist, so it is always refused, with a reason.
    if (recipe || error.empty()) __builtin_trap();
    return 0;
}
