#include "model/XMemFile.h"

#include <new>

namespace orvik {

void XMemFile::Compact() {
    if (fileSize_ == bufferSize_)
        return;
    size_t bytes = fileSize_ ? fileSize_ : 1;
    uint8_t* p = buffer_ ? Realloc(buffer_, bytes) : Alloc(bytes);
    if (p == nullptr)
        throw std::bad_alloc();
    buffer_ = p;
    bufferSize_ = fileSize_;
}

} // namespace orvik
