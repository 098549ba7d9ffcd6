// Reads arbitrary bytes as an AVI file: headers, formats, indexes, and the
// samples of every stream through the index.
#include "platform/avi/AviFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    for (auto use : {AviFile::IndexUse::preferOpenDml, AviFile::IndexUse::scanOnly}) {
        AviFile file;
        if (!file.OpenMemory(data, size, use))
            continue;
        std::vector<uint8_t> buffer, format;
        for (size_t i = 0; i < file.StreamCount(); ++i) {
            AviStream* s = file.Stream(i);
            s->ReadFormat(s->Start(), format);
            int64_t end = s->Start() + std::min<int64_t>(s->Length(), 64);
            for (int64_t n = s->Start() - 1; n <= end; ++n) {
                uint32_t bytes = 0;
                if (s->SampleBytes(n, bytes)) {
                    buffer.resize(std::min<uint32_t>(bytes, 1u << 20) * 3u);
                    s->Read(n, 3, buffer.data(), buffer.size(), nullptr, nullptr);
                }
                s->Read(n, 1, nullptr, 0, nullptr, nullptr);
                s->IsKeyFrame(n);
                s->PrevKeyFrame(n);
                s->NextKeyFrame(n);
                s->ReadFormat(n, format);
            }
        }
        file.FindStream(AviStream::kVideo, 0);
        file.FindStream(AviStream::kAudio, 1);
    }
    return 0;
}
