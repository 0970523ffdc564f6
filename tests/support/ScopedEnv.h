#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Environment.h"

// Puts an environment variable back as it was when the scope ends, so a test
// that fails half-way leaves nothing behind for the next one.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name) {
        SetEnvironmentValue(name, value);
    }
    ~ScopedEnv() {
        if (m_old)
            SetEnvironmentValue(m_name, *m_old);
        else
            UnsetEnvironmentValue(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
