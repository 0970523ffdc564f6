#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/ControllerModel.h"
#include "sim/Responder.h"

namespace sim {

// The JSON texts veltrix-sim writes. Each is one line without the newline.
std::string HexBytes(const std::vector<uint8_t>& bytes);
// {"device":...,"link":...|null,"baud":N,"id":"A"}
std::string ReadyLine(const std::string& device, const std::string& link,
                      const ControllerModel& model);
// {"unplugged":"/dev/pts/N"}: the line was pulled out (SIGUSR1)
std::string UnpluggedLine(const std::string& device);
// {"t":ms,"speed":N,"kind":"probe","rx":"f8","reply":"1c41410a"|null,"note":"..."}
std::string LogLine(const LogEntry& entry);
// {"id":"A","baud":9600,"psf":hex,"blanking":hex,"part_number":N,"date_code":N,"firmware":"2.3"}
std::string StateJson(const ControllerModel& model);

// Writes text to a temporary file beside path and renames it over path, so a
// reader sees the old state or the new one, never half of one.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace sim
