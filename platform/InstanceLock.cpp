#include "platform/InstanceLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

// Opens the lock file, creating it when missing. An existing file is opened without
// O_CREAT because a sticky, world-writable temp directory refuses O_CREAT on another
// user's file (fs.protected_regular). Read-only is enough for flock, which also lets a
// file created by another user be locked. Close-on-exec keeps a started browser from
// inheriting the guard.
int OpenLockFile(const std::filesystem::path& path)
{
    // Non-blocking: a FIFO put at the path must not hold the open.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    constexpr int kAttempts = 3;  // the file may vanish or appear between the two opens
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int fd = open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

InstanceLock::InstanceLock(const std::string& name)
{
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    m_path = (ec ? std::filesystem::path("/tmp") : dir) / name;
}

InstanceLock::~InstanceLock()
{
    Release();
}

InstanceLock::Result InstanceLock::Acquire()
{
    if (m_fd >= 0) return Result::Acquired;
    const int fd = OpenLockFile(m_path);
    if (fd < 0) {
        m_lastError = errno;
        return Result::Failed;
    }
    // Only a regular file is a lock; anything else someone put there is refused.
    struct stat st {};
    const int statError = fstat(fd, &st) != 0 ? errno : (S_ISREG(st.st_mode) ? 0 : EINVAL);
    if (statError != 0) {
        m_lastError = statError;
        close(fd);
        return Result::Failed;
    }
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        m_lastError = errno;
        close(fd);
        return m_lastError == EWOULDBLOCK ? Result::AlreadyHeld : Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::Release()
{
    if (m_fd < 0) return;
    close(m_fd);  // closing the only descriptor drops the flock
    m_fd = -1;
}

} // namespace platform
