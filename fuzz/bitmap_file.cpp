// Reads arbitrary bytes as a bitmap file, then puts a picture that loads
// through the operations every loaded picture meets: conversion to true
// colour and to grey, scaling, keying, drawing and storing.
#include "imaging/Dib.h"
#include "imaging/DibScale.h"
#include "imaging/DibSection.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/gdi/DrawContext.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    RefPtr<Dib> d = new Dib;
    if (!d->LoadFromMemory(data, size))
        return 0;
    const int w = d->Width(), h = d->AbsHeight();
    // Run-length pictures can claim large sizes in few bytes; keep each run
    // of the target quick.
    if (static_cast<int64_t>(w) * h > (1 << 20))
        return 0;
    RefPtr<Dib> rgb = new Dib;
    if (rgb->Create(w, h, 24))
        rgb->Copy(*d);
    RefPtr<Dib> grey = new Dib;
    grey->MapToGreyScale(*d);
    RefPtr<Dib> small = new Dib;
    if (small->Create(7, 5, 24)) {
        DibScale(*small, *d, 0);
        DibScale(*small, *d, 1);
    }
    RefPtr<Dib> smallGrey = new Dib;
    if (smallGrey->Create(9, 3, 8)) {
        smallGrey->SetColorRamp(256, 0, 0xFFFFFF);
        DibScale(*smallGrey, *d, 4);
    }
    RefPtr<Dib> mask = new Dib;
    if (mask->Create(w, h, 8))
        mask->SelfKey(*d);
    RefPtr<DibSection> section = new DibSection;
    if (section->Create(*d, false)) {
        DrawContext dc;
        dc.SelectSurface(section->Surface());
        d->Draw(dc);
    }
    MemFile memory;
    {
        Archive ar(memory, Archive::store);
        d->Serialize(ar);
        ar.Close();
    }
    memory.SeekToBegin();
    Archive ar(memory, Archive::load);
    RefPtr<Dib> back = new Dib;
    back->Serialize(ar);
    return 0;
}
