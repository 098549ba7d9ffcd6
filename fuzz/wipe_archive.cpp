// Reads arbitrary bytes as an object stream of wipes (the wipe assets of a
// project file) and draws each wipe that comes out: its pattern, a mixed
// frame and its picon.
#include "imaging/Dib.h"
#include "imaging/wipes/Wipe.h"
#include "model/Clip.h"
#include "model/RefPtr.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 37, kHeight = 23;

orvik::RefPtr<orvik::Dib> Frame(uint8_t fill) {
    orvik::RefPtr<orvik::Dib> d = new orvik::Dib;
    d->Create(kWidth, kHeight, 24);
    std::memset(d->Bits(), fill, d->ImageSize());
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    std::vector<RefPtr<Wipe>> wipes;
    const uint64_t mark = RefObject::OrphanMark();
    MemFile file(data, size);
    try {
        Archive ar(file, Archive::load);
        while (ar.BytesLeft() > 0 && wipes.size() < 16) {
            Wipe* w = ar.ReadObjectOf<Wipe>();
            if (w)
                wipes.push_back(w);
        }
    } catch (const ArchiveException&) {
    }
    RefObject::ReleaseOrphansSince(mark);
    for (const RefPtr<Wipe>& wipe : wipes) {
        RefPtr<Clip> clip = new Clip(wipe.get(), 0, static_cast<int32_t>(size & 1));
        clip->SetFlags(static_cast<uint32_t>(size * 0x10000u) & 0xF0000u);
        RefPtr<Dib> a = Frame(40), b = Frame(220), t = Frame(0);
        wipe->GetPattern(kWidth, kHeight, 4.0 * kHeight / (3.0 * kWidth));
        wipe->Mix(clip.get(), t.get(), a.get(), b.get(), 1, 0.3, 0.4);
        RefPtr<Dib> picon = new Dib;
        picon->Create(12, 9, 8);
        wipe->CreatePicon(picon.get(), clip.get(), 0);
    }
    return 0;
}
