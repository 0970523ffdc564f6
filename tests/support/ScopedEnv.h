#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Puts an environment variable back as it was when the scope ends, so a test
// that fails half-way leaves nothing behind for the next one.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name) {
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
