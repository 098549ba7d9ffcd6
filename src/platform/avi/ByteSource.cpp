#include "platform/avi/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvik {

ByteSource::~ByteSource() {
    Close();
}

bool ByteSource::OpenFile(const std::string& path, std::string* error) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = path + ": not a regular file";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    path_ = path;
    return true;
}

void ByteSource::OpenMemory(const void* data, size_t size) {
    Close();
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_.assign(p, p + size);
    size_ = size;
    memory_ = true;
}

void ByteSource::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    memory_ = false;
    bytes_.clear();
    bytes_.shrink_to_fit();
    size_ = 0;
    path_.clear();
}

bool ByteSource::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset > size_ || count > size_ - offset)
        return false;
    return ReadSomeAt(offset, buffer, count) == count;
}

size_t ByteSource::ReadSomeAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset >= size_ || count == 0)
        return 0;
    if (count > size_ - offset)
        count = static_cast<size_t>(size_ - offset);
    if (memory_) {
        std::memcpy(buffer, bytes_.data() + offset, count);
        return count;
    }
    if (fd_ < 0)
        return 0;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, count - done,
                            static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace orvik
