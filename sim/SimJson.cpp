#include "sim/SimJson.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace sim {

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0x0F]);
    }
    return hex;
}

namespace {

// Keys stay in the order they are added: the ready line starts with "device".
using Json = nlohmann::ordered_json;

std::string Text(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string IdText(uint8_t id) { return std::string(1, static_cast<char>(id)); }

}  // namespace

std::string ReadyLine(const std::string& device, const std::string& link,
                      const ControllerModel& model) {
    return Text({{"device", device},
                 {"link", link.empty() ? Json(nullptr) : Json(link)},
                 {"baud", model.Baud()},
                 {"id", IdText(model.Id())}});
}

std::string UnpluggedLine(const std::string& device) { return Text({{"unplugged", device}}); }

std::string LogLine(const LogEntry& entry) {
    return Text({{"t", entry.timeMs},
                 {"speed", entry.lineSpeed},
                 {"kind", entry.kind},
                 {"rx", HexBytes(entry.request)},
                 {"reply", entry.answered ? Json(HexBytes(entry.reply)) : Json(nullptr)},
                 {"note", entry.note}});
}

std::string StateJson(const ControllerModel& model) {
    const uint8_t* psf = model.Psf().Data();
    const std::vector<uint8_t> image(psf, psf + kPsfRecordSize);
    const std::vector<uint8_t> blanking(model.blanking.begin(), model.blanking.end());
    return Text({{"id", IdText(model.Id())},
                 {"baud", model.Baud()},
                 {"psf", HexBytes(image)},
                 {"blanking", HexBytes(blanking)},
                 {"part_number", model.partNumber},
                 {"date_code", model.dateCode},
                 {"firmware", std::to_string(model.firmware >> 4) + "." +
                                  std::to_string(model.firmware & 0x0F)}});
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (!ok) error = temp + ": " + std::strerror(errno);
    if (close(fd) != 0 && ok) {
        ok = false;
        error = temp + ": " + std::strerror(errno);
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = path + ": " + std::strerror(errno);
    }
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace sim
