#pragma once

#include "imaging/Dib.h"

#include <memory>

namespace orvik {

class MediaFile;
class Palette;

// A Dib whose pixels are a drawing surface of the drawing layer, so that
// lines, shapes, text and vector drawings can be drawn into it through a
// DibSectionDC. The surface keeps its own copy of the colours, refreshed
// whenever the colour table changes through this type.
class DibSection : public Dib {
    ORVIK_DECLARE_SERIAL(DibSection)
public:
    DibSection();
    ~DibSection() override;

    void Serialize(Archive& ar) override;

    int Attach(BitmapInfoHeader* header, uint8_t* bits) override;
    using Dib::LoadResource;
    int LoadResource(const std::string& name, bool mapToPalette = false) override;
    int SetColorRamp(int count, ColorRef from, ColorRef to) override;
    int SetColorCube() override;
    void Release() override;
    void TakeOver(Dib& other) override;

    // A surface holding a copy of `source` (run-length coded sources are
    // expanded first); with `mapToPalette` an 8-bit palette-index surface
    // whose indices are the application palette's nearest colours.
    using Dib::Create;
    virtual int Create(const Dib& source, bool mapToPalette);
    // A blank surface (every byte 205) with the header that Create would
    // build; palette-index images take their colours from `palette` (the
    // application palette when null).
    virtual int CreateDIBSection(int width, int height, int bitCount, bool usePaletteIndices,
                                 const Palette* palette);
    int Load(File& file) override;
    int LoadFromFile(const std::string& path) override;
    // A 24-bit surface of the rectangle's size holding video frame `frame`
    // of `mediaFile` (counted from its first frame), the whole frame scaled
    // to that size: a scene's thumbnail. 0 when the surface cannot be made
    // or the frame cannot be read; the image is then empty.
    virtual int LoadFromMediaFile(MediaFile& mediaFile, int64_t frame, const Rect& rect);

    DrawingSurface* Surface() const { return surface_.get(); }
    // Copies the image's colours into the surface; returns the number set.
    int SyncColorTable();

protected:
    bool PixelsBelongToSurface() const override { return surface_ != nullptr; }

private:
    std::unique_ptr<DrawingSurface> surface_;
    const Palette* palette_ = nullptr;
};

} // namespace orvik
