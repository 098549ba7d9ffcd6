// Reads arbitrary bytes as a ".ttr" title image: its kind, its picture and
// its alpha mask, then lays the picture over a frame through the mask.
#include "imaging/Dib.h"
#include "imaging/FileDib.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    static std::string path = [] {
        char pattern[] = "/tmp/orvik-fuzz-ttr-XXXXXX";
        return std::string(mkdtemp(pattern)) + "/title.TTR";
    }();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size > 0)
        fwrite(data, 1, size, f);
    fclose(f);
    FileDib::GetTitleImageKind(path);
    RefPtr<FileDib> picture = new FileDib;
    RefPtr<FileDib> alpha = new FileDib;
    bool hasPicture = picture->LoadFromFile(path) != 0;
    bool hasAlpha = alpha->LoadTtrAlpha(path) != 0;
    if (hasPicture && hasAlpha &&
        static_cast<int64_t>(picture->Width()) * picture->AbsHeight() <= (1 << 20)) {
        RefPtr<Dib> frame = new Dib;
        if (frame->Create(picture->Width(), picture->AbsHeight(), 24)) {
            frame->Set(0x336699);
            if (picture->BitCount() == 24 || picture->BitCount() == 32)
                frame->Composite(*picture, *alpha);
        }
    }
    return 0;
}
