#include "platform/avi/RiffWriter.h"

#include "platform/avi/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace orvik {

RiffWriter::~RiffWriter() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool RiffWriter::Open(const std::string& path) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_ = path;
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    bufferStart_ = 0;
    position_ = 0;
    failed_ = false;
    error_.clear();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        FailWithErrno("cannot create");
        return false;
    }
    fd_ = fd;
    return true;
}

bool RiffWriter::Close() {
    if (fd_ < 0)
        return !failed_;
    Flush();
    if (::close(fd_) != 0 && !failed_)
        FailWithErrno("cannot close");
    fd_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
    return !failed_;
}

void RiffWriter::FailWithErrno(const char* what) {
    int e = errno;
    Fail(std::string(what) + " '" + path_ + "': " + std::strerror(e));
}

void RiffWriter::Fail(const std::string& reason) {
    if (failed_)
        return;
    failed_ = true;
    error_ = reason;
}

bool RiffWriter::WriteAll(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno("cannot write");
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool RiffWriter::WriteAt(uint64_t offset, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno("cannot write");
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool RiffWriter::Flush() {
    if (failed_ || fd_ < 0)
        return false;
    if (buffer_.empty())
        return true;
    bool ok = WriteAll(buffer_.data(), buffer_.size());
    bufferStart_ += buffer_.size();
    buffer_.clear();
    return ok;
}

void RiffWriter::Write(const void* data, size_t size) {
    if (failed_ || fd_ < 0 || size == 0)
        return;
    if (buffer_.size() + size > kBufferBytes) {
        if (!Flush())
            return;
        if (size >= kBufferBytes / 2) {
            if (WriteAll(data, size)) {
                bufferStart_ += size;
                position_ += size;
            }
            return;
        }
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + size);
    position_ += size;
}

void RiffWriter::WriteZeros(size_t size) {
    static const uint8_t zeros[4096] = {};
    while (size > 0) {
        size_t n = std::min(size, sizeof zeros);
        Write(zeros, n);
        size -= n;
    }
}

void RiffWriter::WriteLE16(uint16_t v) {
    uint8_t b[2];
    PutLE16(b, v);
    Write(b, 2);
}

void RiffWriter::WriteLE32(uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    Write(b, 4);
}

void RiffWriter::WriteLE64(uint64_t v) {
    WriteLE32(static_cast<uint32_t>(v));
    WriteLE32(static_cast<uint32_t>(v >> 32));
}

uint64_t RiffWriter::BeginChunk(uint32_t id) {
    uint64_t at = position_;
    WriteLE32(id);
    WriteLE32(0);
    return at;
}

uint64_t RiffWriter::BeginList(uint32_t id, uint32_t form) {
    uint64_t at = BeginChunk(id);
    WriteLE32(form);
    return at;
}

void RiffWriter::EndChunk(uint64_t headerOffset) {
    uint64_t size = position_ - headerOffset - 8;
    if (size > UINT32_MAX) {
        Fail("chunk of " + std::to_string(size) + " bytes in '" + path_ + "' passes 4 GiB");
        return;
    }
    PatchLE32(headerOffset + 4, static_cast<uint32_t>(size));
    if (size & 1)
        WriteZeros(1);
}

void RiffWriter::WriteChunk(uint32_t id, const void* data, size_t size) {
    if (failed_ || fd_ < 0)
        return;
    if (size > UINT32_MAX - 1) {
        Fail("chunk of " + std::to_string(size) + " bytes is too large for '" + path_ + "'");
        return;
    }
    uint8_t header[8];
    PutLE32(header, id);
    PutLE32(header + 4, static_cast<uint32_t>(size));
    static const uint8_t pad = 0;
    size_t padBytes = size & 1;
    if (buffer_.size() + 8 + size + padBytes <= kBufferBytes || size < kBufferBytes / 2) {
        Write(header, 8);
        Write(data, size);
        Write(&pad, padBytes);
        return;
    }
    // A large chunk: header, data and pad in one system call, no copy.
    if (!Flush())
        return;
    iovec parts[3] = {
        {header, 8}, {const_cast<void*>(data), size}, {const_cast<uint8_t*>(&pad), padBytes}};
    size_t total = 8 + size + padBytes;
    size_t done = 0;
    int first = 0;
    while (done < total) {
        ssize_t n = ::writev(fd_, parts + first, 3 - first);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno("cannot write");
            return;
        }
        done += static_cast<size_t>(n);
        size_t left = static_cast<size_t>(n);
        while (first < 3 && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < 3) {
            parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    bufferStart_ += total;
    position_ += total;
}

void RiffWriter::Patch(uint64_t offset, const void* data, size_t size) {
    if (failed_ || fd_ < 0 || size == 0)
        return;
    if (offset + size > position_) {
        Fail("patch past the end of '" + path_ + "'");
        return;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    // The part still in the buffer is changed there; the rest in the file.
    if (offset + size > bufferStart_) {
        uint64_t from = std::max(offset, bufferStart_);
        std::memcpy(buffer_.data() + (from - bufferStart_), p + (from - offset),
                    static_cast<size_t>(offset + size - from));
        if (offset >= bufferStart_)
            return;
        size = static_cast<size_t>(bufferStart_ - offset);
    }
    WriteAt(offset, p, size);
}

void RiffWriter::PatchLE32(uint64_t offset, uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    Patch(offset, b, 4);
}

} // namespace orvik
