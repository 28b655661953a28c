// Regular files opened without waiting: O_NONBLOCK keeps open() from
// waiting on a FIFO, and what was opened is looked at before it is used.
#include "RegularFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

int SMS_OpenRegularFile(const std::string& path, struct stat& st, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        struct stat link {};
        if (err == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            reason = "it is a link to a file that does not exist";
        else
            reason = std::strerror(err);
        return -1;
    }
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = SMS_NotRegularFileReason(st.st_mode);
        ::close(fd);
        return -1;
    }
    // A regular file never blocks; drop the flag all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

const char* SMS_NotRegularFileReason(mode_t mode) {
    return S_ISREG(mode)    ? ""
           : S_ISDIR(mode)  ? "it is a folder, not a file"
           : S_ISFIFO(mode) ? "it is a pipe (FIFO), not a regular file"
                            : "it is a device or socket, not a regular file";
}

int SMS_CreateRegularFile(const std::string& path, std::string& reason) {
    // Looked at before it is opened: opening is already too much for a FIFO
    // or a device. What is there is looked at again once it is open, in case
    // it was swapped in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = SMS_NotRegularFileReason(st.st_mode);
        return -1;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        reason = SMS_NotRegularFileReason(st.st_mode);
    else if (::ftruncate(fd, 0) != 0)
        err = errno;
    if (err != 0) reason = std::strerror(err);
    if (err != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool SMS_ReadUpTo(int fd, uint8_t* data, std::size_t limit, std::size_t& size) {
    size = 0;
    while (size < limit) {
        const ssize_t n = ::read(fd, data + size, limit - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    return true;
}
