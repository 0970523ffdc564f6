// The profile parser on any bytes: no crash, no hang, and what it writes out
// parses back to the same file.
#include <cstdint>
#include <string>

#include "model/PartNumbers.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile ini = IniFile::Parse(text);
    const std::string once = ini.Serialize();
    if (IniFile::Parse(once).Serialize() != once) __builtin_trap();
    for (const std::string& name : ini.EntryNames("PartNumbers")) {
        if (!ini.RawValue("PartNumbers", name)) __builtin_trap();
        ini.Value("PartNumbers", name);
    }
    FillPartNumbers(ini);  // warnings go to the silent default UI
    return 0;
}
