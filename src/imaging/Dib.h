#pragma once

#include "imaging/BitmapInfoHeader.h"
#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "platform/gdi/ColorRef.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/gdi/Point.h"
#include "platform/gdi/Rect.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

class Archive;
class DrawContext;
class DrawingSurface;
class File;
class ResourceLibraries;

// The one in-memory image of the system: a 40-byte bitmap information header,
// an optional colour table (or the three channel masks of bit-field images)
// and the pixel rows, bottom-up for a positive height, top-down for a
// negative one. Rows are padded to 4 bytes; `y` counts from the top of the
// picture whatever the storage order.
//
// The pixel operations work row by row with precomputed strides and neither
// allocate nor check ranges inside a row. Operations return 1 (or a count)
// on success and 0 on failure, with one line in the diagnostics log.
class Dib : public RefObject {
    ORVIK_DECLARE_SERIAL(Dib)
public:
    enum ColorUsage : uint32_t { rgbColors = 0, paletteIndices = 1 };
    enum Compression : uint32_t {
        compressionRgb = 0,
        compressionRle8 = 1,
        compressionRle4 = 2,
        compressionBitFields = 3
    };
    enum Layout16 { layoutInvalid, layout555, layout565 };

    // Capture-preview formats (header-only images).
    static constexpr uint32_t kYvu9 = MakeFourCC('Y', 'V', 'U', '9');
    static constexpr uint32_t kPcle = MakeFourCC('p', 'c', 'l', 'e');
    static constexpr uint32_t kNbxl = MakeFourCC('n', 'b', 'x', 'l');
    // "BM", the first word of a bitmap file.
    static constexpr uint16_t kFileType = 19778;
    static constexpr int kFileHeaderSize = 14;
    // Largest width and height an image may have (a size shifted left by 16
    // must fit in 32 bits for the scaler) and the most pixel bytes read from
    // a file or archive.
    static constexpr int kMaxDimension = 32767;
    static constexpr uint32_t kMaxImageBytes = 512u << 20;

    Dib();
    ~Dib() override;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    // Storing writes the header block and the pixels; loading reads them back
    // (a damaged stream raises ArchiveException).
    void Serialize(Archive& ar) override;

    // Header-only 160 x 120 image of a capture preview code.
    virtual int CreatePreviewFormat(uint32_t fourcc);
    // Copies a 40-byte header (no colour table) and allocates its pixels.
    virtual int CreateFromHeader(const BitmapInfoHeader& header);
    // Points at memory that the caller keeps; a null `bits` means the pixels
    // follow the header block. Owns nothing. Returns whether `header` is set.
    virtual int Attach(BitmapInfoHeader* header, uint8_t* bits);
    // An owned image with compression 0; with `usePaletteIndices` (8 bits or
    // less) the colour table holds palette indices 0, 1, 2, ...
    virtual int Create(int width, int height, int bitCount, bool usePaletteIndices = false);
    // A bitmap of the resource libraries (SetResourceLibraries), by name or
    // number; with `mapToPalette` its colours are mapped to the application
    // palette. The image gets its own copy of the resource's bytes.
    virtual int LoadResource(const std::string& name, bool mapToPalette = false);
    virtual int LoadResource(uint32_t id, bool mapToPalette = false);
    // Reads a bitmap file from the current position of an open file; the
    // file is left just after the bitmap.
    virtual int Load(File& file);
    virtual int LoadFromFile(const std::string& path);
    // Reads and checks the 14-byte file header.
    virtual int LoadHeader(File& file);
    // Steps over one bitmap in an open file.
    virtual int SkipInFile(File& file);
    // Writes the bitmap file form at the current position of an open file.
    virtual int WriteToFile(File& file);
    // Writes the bitmap file form beside `path` and renames it into place, so
    // a failed save leaves an earlier file as it was.
    virtual int SaveToFile(const std::string& path);
    // Copies a drawing-layer bitmap (8, 24 or 32 bits).
    virtual int CreateFromBitmap(const DrawingSurface& bitmap, DrawContext* dc);
    // A 32-bit drawing-layer bitmap showing this image; null on failure.
    virtual std::unique_ptr<DrawingSurface> ToBitmap(DrawContext* dc) const;
    // Colour tables (images of 8 bits or less).
    virtual int SetColorRamp(int count, ColorRef from, ColorRef to);
    virtual int SetColorCube();
    // Frees what is owned and empties the image.
    virtual void Release();
    // Moves all buffers and flags from `other`, leaving it empty.
    virtual void TakeOver(Dib& other);

    // Reads the bitmap file form from memory.
    int LoadFromMemory(const uint8_t* bytes, size_t size);
    // An owned 16- or 32-bit image with compression 3 and the given masks.
    int CreateBitFields(int width, int height, int bitCount, uint32_t redMask, uint32_t greenMask,
                        uint32_t blueMask);

    // State and derived quantities.
    bool IsEmpty() const { return header_ == nullptr; }
    BitmapInfoHeader* Header() const { return header_; }
    uint8_t* Bits() const { return bits_; }
    bool OwnsHeader() const { return ownsHeader_ != 0; }
    bool OwnsBits() const { return ownsBits_ != 0; }
    uint32_t GetColorUsage() const { return colorUsage_; }
    int Width() const { return header_ ? header_->width : 0; }
    int Height() const { return header_ ? header_->height : 0; }
    int AbsHeight() const;
    int BitCount() const { return header_ ? header_->bitCount : 0; }
    uint32_t GetCompression() const { return header_ ? header_->compression : 0; }
    bool IsTopDown() const { return header_ && header_->height < 0; }
    // Compression 0 or 3: rows at LineSize() strides.
    bool IsUncompressed() const;
    bool IsRunLengthCoded() const;

    int ColorCount() const;
    int PixelSize() const;
    int LineSize() const;
    uint32_t ImageSize() const;
    int HeaderSize() const;
    Layout16 Get16BitLayout() const;
    // The colour table (or palette indices), right after the header.
    RgbQuad* ColorTable() const;
    // The red, green and blue masks of a bit-field image, right after the
    // header; null for other images.
    const uint32_t* Masks() const;

    // Pixel access; y counts from the top. Null (and a log line) outside.
    uint8_t* PixelAddress(int x, int y) const;
    uint32_t GetPixel(int x, int y) const;
    // The image as a drawing target or source: 8-, 24- and 32-bit images
    // without compression; an invalid buffer otherwise.
    PixelBuffer Buffer() const;

    // Colour tables.
    int CopyColorTable(const Dib& source);
    // Fills `out` (room for 256 entries) with the image's colours; returns
    // the number of entries. Palette-index images read the application
    // palette.
    int GetColorTable(RgbQuad* out) const;
    bool IsGreyPalette() const;
    // Replaces every pixel value v below ColorCount by map[v] (256 entries).
    int RemapIndices(const uint8_t* map);

    // Pixel operations.
    int Copy(const Dib& source, const Rect* targetRect = nullptr,
             const Point* sourcePoint = nullptr);
    int Set(uint32_t value, const Rect* rect = nullptr);
    int FillOutside(uint32_t value, const Rect* outer, const Rect* inner);
    int Composite(const Dib& source, const Dib& alpha, const Rect* targetRect = nullptr,
                  const Point* sourcePoint = nullptr, bool premultiplied = false);
    int SelfKey(const Dib& source);
    int ExtractAlpha(const Dib& source);
    int CopyAlpha(const Dib& source);
    int MapToGreyScale(const Dib& source);
    int Invert();
    int RebuildField(bool keepOdd);

    // Drawing onto a drawing context. Source rectangles of bottom-up images
    // count their rows from the bottom.
    int Draw(DrawContext& dc, const Rect* targetRect = nullptr,
             const Rect* sourceRect = nullptr) const;
    int DrawTiled(DrawContext& dc, const Rect* rect = nullptr, const Point* origin = nullptr) const;
    int CopyTiled(const Dib& section, const Rect* rect = nullptr, const Point* origin = nullptr);

    // Where LoadResource finds bitmaps and what palette-index images resolve
    // against: set by the application object at start-up.
    static void SetResourceLibraries(const ResourceLibraries* libraries);
    static const ResourceLibraries* GetResourceLibraries();

    // The sizes a header implies (for headers that pass CheckHeader).
    static int ColorCountOf(const BitmapInfoHeader& header);
    static int HeaderSizeOf(const BitmapInfoHeader& header);
    static uint32_t ImageSizeOf(const BitmapInfoHeader& header);
    // Checks a header as this image type uses it; false with a reason.
    static bool CheckHeader(const BitmapInfoHeader& header, std::string* why);

protected:
    // Reads the header block and pixels and returns the number of bytes
    // read. `fromFile` accepts every information-header size of bitmap files
    // and normalises it to this type's form, honouring `pixelOffset` (bytes
    // from the start of the information header; 0 when the pixels follow the
    // colour table). Failures are logged and raise ArchiveException.
    uint64_t ReadBitmap(Archive& ar, bool fromFile, uint32_t pixelOffset);
    // Moves the fields of `other` here without looking at surfaces.
    void MoveFrom(Dib& other);
    // The pixels belong to a drawing surface that `TakeOver` cannot move.
    virtual bool PixelsBelongToSurface() const { return false; }
    // Owned copy of header block and pixels of another image.
    int Duplicate(const Dib& source);
    // Reads a packed bitmap (header, colours, pixels) into an owned copy.
    int LoadPacked(const uint8_t* bytes, size_t size, uint32_t pixelOffset);
    // The 14-byte file header; 0 (logged) when short or not a bitmap.
    static int ReadFileHeader(File& file, uint32_t* fileSize, uint32_t* pixelOffset);

    BitmapInfoHeader* header_ = nullptr;
    uint8_t* bits_ = nullptr;
    uint32_t ownsHeader_ = 0;
    uint32_t ownsBits_ = 0;
    void* reserved_ = nullptr;
    uint32_t colorUsage_ = rgbColors;
    uint32_t reserved2_ = 0;
};

} // namespace orvik
