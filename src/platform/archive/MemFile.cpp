#include "platform/archive/MemFile.h"

#include "platform/archive/ArchiveException.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace orvik {

MemFile::MemFile(size_t growBytes) : growBytes_(growBytes ? growBytes : 1024) {}

MemFile::MemFile(const void* data, size_t size) : growBytes_(1024) {
    if (size > 0) {
        GrowFile(size);
        memcpy(buffer_, data, size);
        fileSize_ = size;
    }
}

MemFile::~MemFile() {
    if (buffer_)
        Free(buffer_);
}

uint8_t* MemFile::Alloc(size_t bytes) { return static_cast<uint8_t*>(malloc(bytes)); }

uint8_t* MemFile::Realloc(uint8_t* block, size_t bytes) {
    return static_cast<uint8_t*>(realloc(block, bytes));
}

void MemFile::Free(uint8_t* block) { free(block); }

void MemFile::GrowFile(size_t newLength) {
    if (newLength <= bufferSize_)
        return;
    size_t newSize = bufferSize_;
    while (newSize < newLength) {
        size_t step = newSize / 2 > growBytes_ ? newSize / 2 : growBytes_;
        newSize += step;
    }
    uint8_t* p = buffer_ ? Realloc(buffer_, newSize) : Alloc(newSize);
    if (p == nullptr)
        throw FileException("", ENOMEM, "out of memory");
    buffer_ = p;
    bufferSize_ = newSize;
}

size_t MemFile::Read(void* out, size_t count) {
    if (position_ >= fileSize_)
        return 0;
    size_t n = fileSize_ - position_;
    if (count < n)
        n = count;
    memcpy(out, buffer_ + position_, n);
    position_ += n;
    return n;
}

void MemFile::Write(const void* in, size_t count) {
    if (count == 0)
        return;
    if (position_ + count > bufferSize_)
        GrowFile(position_ + count);
    memcpy(buffer_ + position_, in, count);
    position_ += count;
    if (position_ > fileSize_)
        fileSize_ = position_;
}

int64_t MemFile::Seek(int64_t offset, SeekFrom from) {
    int64_t base = from == begin ? 0 : from == current ? static_cast<int64_t>(position_)
                                                       : static_cast<int64_t>(fileSize_);
    int64_t p = base + offset;
    if (p < 0)
        return -1;
    position_ = static_cast<size_t>(p);
    return p;
}

void MemFile::SetLength(size_t length) {
    if (length > bufferSize_)
        GrowFile(length);
    if (length > fileSize_)
        memset(buffer_ + fileSize_, 0, length - fileSize_);
    fileSize_ = length;
    if (position_ > fileSize_)
        position_ = fileSize_;
}

} // namespace orvik
