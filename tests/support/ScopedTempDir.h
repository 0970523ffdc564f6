#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/PosixFeatures.h"

// A fresh directory under $TMPDIR (or the system's temporary folder),
// removed with everything in it when the scope ends.
class ScopedTempDir {
public:
    ScopedTempDir() {
        namespace fs = std::filesystem;
        const char* base = std::getenv("TMPDIR");
        std::error_code error;
        const fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path(error);
        std::mt19937_64 random(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const fs::path candidate = root / ("veltrix-test-" + std::to_string(random() % 1000000000));
            if (fs::create_directory(candidate, error) && !error) m_path = candidate.generic_string();
        }
    }
    ~ScopedTempDir() {
        if (!m_path.empty()) RemoveTree(m_path);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    // Names in a directory (default: this one), without "." and "..".
    std::vector<std::string> List(const std::string& dir = {}) const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir.empty() ? m_path : dir, error))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}
