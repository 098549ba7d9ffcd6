#include "imaging/DibSection.h"

#include "app/DiagnosticsLog.h"
#include "imaging/XPalette.h"
#include "media/MediaFile.h"
#include "platform/archive/Archive.h"
#include "platform/gdi/DrawingSurface.h"

#include <cstdlib>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(DibSection, Dib, kVersionableSchema | 2)

DibSection::DibSection() = default;

DibSection::~DibSection() {
    DibSection::Release();
}

void DibSection::Release() {
    // The surface goes first: it owns the pixels the image points at.
    surface_.reset();
    palette_ = nullptr;
    bits_ = nullptr;
    Dib::Release();
}

int DibSection::SyncColorTable() {
    if (!surface_ || IsEmpty() || ColorCount() == 0)
        return 0;
    RgbQuad table[256] = {};
    int n = std::min(GetColorTable(table), ColorCount());
    return surface_->SetColorTable(0, n, reinterpret_cast<const uint8_t*>(table));
}

int DibSection::CreateDIBSection(int width, int height, int bitCount, bool usePaletteIndices,
                                 const Palette* palette) {
    Release();
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<uint16_t>(bitCount);
    std::string why;
    if (bitCount < 1 || bitCount > 32 || !CheckHeader(h, &why)) {
        LogMessage("DibSection::CreateDIBSection failed\n");
        return 0;
    }
    h.sizeImage = ImageSizeOf(h);
    size_t headerBytes = static_cast<size_t>(HeaderSizeOf(h));
    auto* block = static_cast<uint8_t*>(std::calloc(1, headerBytes));
    auto surface = std::make_unique<DrawingSurface>();
    if (!block || !surface->Create(width, height, bitCount)) {
        std::free(block);
        LogMessage("DibSection::CreateDIBSection failed\n");
        return 0;
    }
    std::memcpy(block, &h, 40);
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    ownsHeader_ = 1;
    surface_ = std::move(surface);
    bits_ = surface_->Pixels();
    if (bitCount <= 8) {
        palette_ = palette ? palette : &XPalette::AppPalette();
        if (usePaletteIndices) {
            colorUsage_ = paletteIndices;
            auto* indices = reinterpret_cast<uint16_t*>(ColorTable());
            for (int i = 0, n = ColorCount(); i < n; ++i)
                indices[i] = static_cast<uint16_t>(i);
            // The surface shows the selected palette's colours.
            RgbQuad table[256] = {};
            for (int i = 0; i < std::min(palette_->Size(), ColorCount()); ++i)
                table[i] =
                    RgbQuad{palette_->At(i).blue, palette_->At(i).green, palette_->At(i).red, 0};
            surface_->SetColorTable(0, ColorCount(), reinterpret_cast<const uint8_t*>(table));
        }
    }
    std::memset(bits_, 205, ImageSize());
    return 1;
}

int DibSection::Create(const Dib& source, bool mapToPalette) {
    if (source.IsEmpty() || !source.Bits()) {
        LogMessage("DibSection::Create: no bitmap\n");
        return 0;
    }
    if (&source == this) {
        // A plain image takes a copy of the pixels, which this call frees.
        RefPtr<Dib> copy = new Dib;
        copy->TakeOver(*this);
        if (copy->IsEmpty())
            return 0;
        return Create(*copy, mapToPalette);
    }
    // Compressed pixels are expanded first (4-bit ones to 8 bits).
    RefPtr<Dib> expanded;
    const Dib* src = &source;
    if (!source.IsUncompressed()) {
        expanded = new Dib;
        int bits = source.BitCount() == 4 ? 8 : source.BitCount();
        if (!source.IsRunLengthCoded() ||
            !expanded->Create(source.Width(), source.AbsHeight(), bits, false) ||
            !expanded->CopyColorTable(source) || !expanded->Copy(source)) {
            LogMessage("DibSection::Create: can't uncompress bitmap\n");
            return 0;
        }
        src = expanded.get();
    }
    if (!mapToPalette) {
        if (!CreateDIBSection(src->Width(), src->AbsHeight(), src->BitCount(), false, nullptr))
            return 0;
        if (src->GetCompression() == compressionBitFields) {
            // Keep the masks: the surface's header grows by them.
            auto* block = static_cast<uint8_t*>(std::calloc(1, 52));
            if (!block) {
                Release();
                LogMessage("DibSection::CreateDIBSection failed\n");
                return 0;
            }
            std::memcpy(block, header_, 40);
            std::memcpy(block + 40, src->Masks(), 12);
            std::free(header_);
            header_ = reinterpret_cast<BitmapInfoHeader*>(block);
            header_->compression = compressionBitFields;
        }
        if (!Copy(*src)) {
            Release();
            return 0;
        }
        CopyColorTable(*src);
        colorUsage_ = src->GetColorUsage();
        SyncColorTable();
        return 1;
    }
    if (src->BitCount() > 8) {
        LogMessage("DibSection::Create: can't map %d-bit colours to the palette\n",
                   src->BitCount());
        return 0;
    }
    if (!CreateDIBSection(src->Width(), src->AbsHeight(), 8, true, nullptr))
        return 0;
    if (!Copy(*src)) {
        Release();
        return 0;
    }
    // Each colour of the source becomes the palette's nearest entry.
    const Palette& palette = XPalette::AppPalette();
    RgbQuad table[256] = {};
    int n = std::min(src->GetColorTable(table), src->ColorCount());
    uint8_t map[256];
    for (int i = 0; i < 256; ++i)
        map[i] = static_cast<uint8_t>(
            i < n ? palette.NearestIndex(Rgb(table[i].red, table[i].green, table[i].blue)) : i);
    RemapIndices(map);
    palette_ = &palette;
    SyncColorTable();
    return 1;
}

int DibSection::Attach(BitmapInfoHeader* header, uint8_t* bits) {
    Release();
    if (!header)
        return 0;
    RefPtr<Dib> temp = new Dib;
    temp->Attach(header, bits);
    return Create(*temp, false);
}

int DibSection::LoadResource(const std::string& name, bool mapToPalette) {
    Release();
    RefPtr<Dib> temp = new Dib;
    if (!temp->LoadResource(name, false))
        return 0;
    return Create(*temp, mapToPalette);
}

int DibSection::Load(File& file) {
    Release();
    RefPtr<Dib> temp = new Dib;
    if (!temp->Load(file))
        return 0;
    return Create(*temp, false);
}

int DibSection::LoadFromFile(const std::string& path) {
    Release();
    RefPtr<Dib> temp = new Dib;
    if (!temp->LoadFromFile(path))
        return 0;
    return Create(*temp, false);
}

int DibSection::LoadFromMediaFile(MediaFile& mediaFile, int64_t frame, const Rect& rect) {
    Release();
    if (rect.IsEmpty() || !CreateDIBSection(rect.Width(), rect.Height(), 24, false, nullptr)) {
        LogMessage("DibSection::LoadFromMediaFile can't allocate storage\n");
        return 0;
    }
    // The reader decodes the frame at the surface's size straight into the
    // surface's rows (bottom-up, 24 bits, as the header says).
    RefPtr<Dib> drawn = mediaFile.GetFrame(frame, header_, bits_);
    if (!drawn || drawn->Bits() != bits_) {
        LogMessage("DibSection::LoadFromMediaFile: can't get frame %lld of %s\n",
                   static_cast<long long>(frame), mediaFile.GetFileName().c_str());
        Release();
        return 0;
    }
    return 1;
}

int DibSection::SetColorRamp(int count, ColorRef from, ColorRef to) {
    if (!Dib::SetColorRamp(count, from, to))
        return 0;
    int set = SyncColorTable();
    if (set != ColorCount())
        LogMessage("DibSection::SetColorTable returned %d\n", set);
    return 1;
}

int DibSection::SetColorCube() {
    if (!Dib::SetColorCube())
        return 0;
    int set = SyncColorTable();
    if (set != ColorCount())
        LogMessage("DibSection::SetColorTable returned %d\n", set);
    return 1;
}

void DibSection::TakeOver(Dib& other) {
    if (&other == this)
        return;
    if (auto* section = DynamicCast<DibSection>(&other)) {
        Release();
        MoveFrom(other);
        surface_ = std::move(section->surface_);
        palette_ = section->palette_;
        section->palette_ = nullptr;
        return;
    }
    // A plain image gets a surface of its own.
    Release();
    Create(other, false);
    other.Release();
}

void DibSection::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        Dib::Serialize(ar);
        return;
    }
    RefPtr<Dib> temp = new Dib;
    temp->Serialize(ar);
    Release();
    if (temp->IsEmpty())
        return;
    if (!Create(*temp, false))
        throw ArchiveException(ArchiveException::generic, "bitmap: can't create the surface");
}

} // namespace orvik
