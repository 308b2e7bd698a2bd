#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The machine-wide single-instance guard: an exclusive advisory lock on a file in the
// temp directory. The kernel drops the lock when the holder dies, so a crash never
// leaves a stale guard behind.
class InstanceLock {
public:
    enum class Result { Acquired, AlreadyHeld, Failed };

    // The lock file is `name` inside the temp directory (TMPDIR is honoured).
    explicit InstanceLock(const std::string& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result Acquire();
    // Gives the lock up early; the destructor does the same.
    void Release();

    const std::filesystem::path& Path() const { return m_path; }
    // The operating system's error number of a failed Acquire.
    int LastError() const { return m_lastError; }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    int m_lastError = 0;
};

} // namespace platform
