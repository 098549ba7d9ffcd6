#include "platform/fs/File.h"

#include "platform/archive/ArchiveException.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvik {

namespace {

std::string ErrorText(int e) { return std::strerror(e); }

} // namespace

File::~File() { Close(); }

bool File::Open(const std::string& path, OpenMode mode, std::string* error) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case readOnly: flags |= O_RDONLY; break;
    case createWrite: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case readWrite: flags |= O_RDWR | O_CREAT; break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        if (error)
            *error = ErrorText(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = ErrorText(EISDIR);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void File::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

size_t File::Read(void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException(path_, errno, path_ + ": " + ErrorText(errno));
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void File::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException(path_, errno, path_ + ": " + ErrorText(errno));
        }
        done += static_cast<size_t>(n);
    }
}

uint64_t File::GetPosition() const {
    off_t p = ::lseek(fd_, 0, SEEK_CUR);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

uint64_t File::GetLength() const {
    struct stat st;
    if (fstat(fd_, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

void File::Seek(uint64_t position) {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
        throw FileException(path_, errno, path_ + ": " + ErrorText(errno));
}

void File::Sync() {
    if (fd_ >= 0 && ::fsync(fd_) != 0 && errno != EINVAL)
        throw FileException(path_, errno, path_ + ": " + ErrorText(errno));
}

bool File::ReadAll(const std::string& path, std::string& out, std::string* error) {
    File f;
    if (!f.Open(path, readOnly, error))
        return false;
    try {
        out.clear();
        char block[65536];
        for (;;) {
            size_t n = f.Read(block, sizeof block);
            if (n == 0)
                break;
            out.append(block, n);
        }
    } catch (const FileException& e) {
        if (error)
            *error = e.what();
        return false;
    }
    return true;
}

SafeFile::~SafeFile() { Abort(); }

bool SafeFile::Open(const std::string& finalPath, std::string* error) {
    Abort();
    finalPath_ = finalPath;
    std::string temp = finalPath + ".saving";
    return File::Open(temp, createWrite, error);
}

bool SafeFile::Commit(std::string* error) {
    if (fd_ < 0) {
        if (error)
            *error = "file is not open";
        return false;
    }
    try {
        Sync();
    } catch (const FileException& e) {
        if (error)
            *error = e.what();
        Abort();
        return false;
    }
    std::string temp = path_;
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 || ::rename(temp.c_str(), finalPath_.c_str()) != 0) {
        if (error)
            *error = finalPath_ + ": " + ErrorText(errno);
        ::unlink(temp.c_str());
        return false;
    }
    path_ = finalPath_;
    return true;
}

void SafeFile::Abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(path_.c_str());
    }
}

bool SafeFile::WriteAll(const std::string& path, const std::string& content,
                        std::string* error) {
    SafeFile f;
    if (!f.Open(path, error))
        return false;
    try {
        f.Write(content.data(), content.size());
    } catch (const FileException& e) {
        if (error)
            *error = e.what();
        return false;
    }
    return f.Commit(error);
}

} // namespace orvik
