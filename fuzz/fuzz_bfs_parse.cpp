// Checks of a blanking file image: whatever is accepted builds back into
// the same 100 bytes; whatever is refused leaves the map alone.
#include <climits>
#include <cstdint>
#include <cstring>

#include "model/BfsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CBlankingMap fileMap(16);
    fileMap.Blank(3);
    const CBlankingMap before = fileMap;
    long length = size > LONG_MAX ? LONG_MAX : static_cast<long>(size);
    std::string problem = ParseBfsImage(data, length, fileMap);
    if (!problem.empty()) {
        if (fileMap != before) __builtin_trap();
        return 0;
    }
    if (fileMap.ChannelCount() != 800 || fileMap.ByteCount() != 100) __builtin_trap();
    std::vector<uint8_t> image = BuildBfsImage(fileMap);
    if (image.size() != size || std::memcmp(image.data(), data, size) != 0) __builtin_trap();

    CBlankingMap working(384);
    std::memcpy(working.Data(), fileMap.Data(), working.ByteCount());
    working.BlankedCount(0);
    fileMap.BlankedCount(384);
    return 0;
}
