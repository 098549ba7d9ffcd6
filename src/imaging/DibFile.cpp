// Dib: bitmap files, packed resource bitmaps and archives.
#include "imaging/Dib.h"

#include "app/DiagnosticsLog.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/fs/File.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvik {

namespace {

uint32_t Dword(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void PutDword(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

BitmapInfoHeader ParseInfoHeader(const uint8_t* raw) {
    BitmapInfoHeader h;
    h.size = Dword(raw);
    h.width = static_cast<int32_t>(Dword(raw + 4));
    h.height = static_cast<int32_t>(Dword(raw + 8));
    h.planes = Word(raw + 12);
    h.bitCount = Word(raw + 14);
    h.compression = Dword(raw + 16);
    h.sizeImage = Dword(raw + 20);
    h.xPelsPerMeter = static_cast<int32_t>(Dword(raw + 24));
    h.yPelsPerMeter = static_cast<int32_t>(Dword(raw + 28));
    h.clrUsed = Dword(raw + 32);
    h.clrImportant = Dword(raw + 36);
    return h;
}

[[noreturn]] void Fail(const char* why, ArchiveException::Cause cause = ArchiveException::generic) {
    LogMessage("Dib::LoadFromArchive: %s\n", why);
    throw ArchiveException(cause, std::string("bitmap: ") + why);
}

// Reads exactly `count` bytes, logging `what` when the data ends first.
void ReadExact(Archive& ar, void* data, size_t count, const char* what) {
    try {
        ar.RequireBytes(count);
        ar.Read(data, count);
    } catch (const ArchiveException&) {
        LogMessage("%s", what);
        throw;
    }
}

void SkipBytes(Archive& ar, uint64_t count) {
    try {
        ar.RequireBytes(count);
        uint8_t scratch[512];
        while (count > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof scratch));
            ar.Read(scratch, n);
            count -= n;
        }
    } catch (const ArchiveException&) {
        LogMessage("Dib::LoadFromArchive can't reach the pixels\n");
        throw;
    }
}

// The file header's offset to the pixels, counted from the information
// header: 0 (the pixels follow the colours) when the file gives none, and
// an offset inside the headers, which reading then refuses, when it points
// before the information header.
uint32_t PixelOffsetOf(uint32_t offBits) {
    if (offBits == 0)
        return 0;
    return offBits >= Dib::kFileHeaderSize ? offBits - Dib::kFileHeaderSize : 1;
}

int64_t RowBytesOf(int64_t width, int bitCount) {
    return ((width * bitCount + 7) / 8 + 3) & ~3;
}

} // namespace

uint64_t Dib::ReadBitmap(Archive& ar, bool fromFile, uint32_t pixelOffset) {
    Release();
    uint8_t raw[124] = {};
    ReadExact(ar, raw, 4, "Dib::LoadFromArchive can't read header\n");
    uint32_t infoSize = Dword(raw);
    uint64_t consumed = 4;

    if (!fromFile) {
        // The archive form: this type's own 40-byte header block, stored
        // as it is held. An empty image is stored as a zero header.
        ReadExact(ar, raw + 4, 36, "Dib::LoadFromArchive can't read header\n");
        consumed = 40;
        BitmapInfoHeader h = ParseInfoHeader(raw);
        if (std::all_of(raw, raw + 40, [](uint8_t b) { return b == 0; }))
            return consumed;
        if (h.size != 40)
            Fail("bad header size", ArchiveException::badSchema);
        std::string why;
        if (!CheckHeader(h, &why))
            Fail(why.c_str(), ArchiveException::badSchema);
        // Sizes as the image will compute them.
        size_t headerBytes = static_cast<size_t>(HeaderSizeOf(h));
        uint32_t imageBytes = ImageSizeOf(h);
        try {
            ar.RequireBytes(headerBytes - 40 + static_cast<uint64_t>(imageBytes));
        } catch (const ArchiveException&) {
            LogMessage("Dib::LoadFromArchive can't read bits\n");
            throw;
        }
        auto* block = static_cast<uint8_t*>(std::malloc(headerBytes + imageBytes));
        if (!block)
            Fail("malloc failed");
        std::memcpy(block, raw, 40);
        try {
            ar.Read(block + 40, headerBytes - 40 + imageBytes);
        } catch (const ArchiveException&) {
            std::free(block);
            LogMessage("Dib::LoadFromArchive can't read bits\n");
            throw;
        }
        header_ = reinterpret_cast<BitmapInfoHeader*>(block);
        bits_ = block + headerBytes;
        ownsHeader_ = 1;
        return consumed + headerBytes - 40 + imageBytes;
    }

    // A bitmap file or packed resource: any of the information headers that
    // programs write (40 bytes, the 52- and 56-byte forms with masks, V4 and
    // V5), normalised to the 40-byte header this type works with.
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
        LogMessage("Dib::LoadFromArchive: unsupported header size %u\n", infoSize);
        throw ArchiveException(ArchiveException::badSchema, "bitmap: unsupported header size");
    }
    ReadExact(ar, raw + 4, infoSize - 4, "Dib::LoadFromArchive can't read header\n");
    consumed = infoSize;
    BitmapInfoHeader h = ParseInfoHeader(raw);
    h.size = 40;
    int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Fail("unsupported bit count");

    uint32_t masks[3] = {0, 0, 0};
    if (h.compression == compressionBitFields) {
        uint8_t m[12];
        if (infoSize >= 52) {
            std::memcpy(m, raw + 40, 12);
        } else {
            ReadExact(ar, m, 12, "Dib::LoadFromArchive can't read masks\n");
            consumed += 12;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = Dword(m + 4 * i);
    }

    // Colours: the file's count, but never more than the depth can index.
    uint64_t fileColors = h.clrUsed ? h.clrUsed : (bits <= 8 ? 1u << bits : 0u);
    uint32_t keep =
        bits <= 8 ? static_cast<uint32_t>(std::min<uint64_t>(fileColors, 1u << bits)) : 0;
    if (pixelOffset != 0) {
        if (pixelOffset < consumed)
            Fail("pixel data overlaps the header");
        keep = static_cast<uint32_t>(std::min<uint64_t>(keep, (pixelOffset - consumed) / 4));
    }

    // Pixel layout.
    if (h.compression == compressionBitFields) {
        if (bits == 16 && masks[0] == 0x7c00 && masks[1] == 0x3e0 && masks[2] == 0x1f) {
            h.compression = compressionRgb; // 5-5-5 is the plain 16-bit form
        } else if (bits == 16 && masks[0] == 0xf800 && masks[1] == 0x7e0 && masks[2] == 0x1f) {
            // 5-6-5 keeps its masks after the header
        } else if (bits == 32 && masks[0] == 0xff0000 && masks[1] == 0xff00 && masks[2] == 0xff) {
            h.compression = compressionRgb; // blue, green, red, fourth byte
        } else {
            Fail("unsupported bit-field masks");
        }
    } else if (h.compression != compressionRgb && h.compression != compressionRle8 &&
               h.compression != compressionRle4) {
        Fail("unsupported compression");
    }
    h.clrUsed = bits <= 8 && keep != 0 && keep != (1u << bits) ? keep : 0;
    h.clrImportant = 0;
    if (h.compression == compressionRgb || h.compression == compressionBitFields) {
        if (h.width > 0 && h.width <= kMaxDimension && h.height != INT32_MIN) {
            uint64_t need =
                static_cast<uint64_t>(h.height < 0 ? -static_cast<int64_t>(h.height) : h.height) *
                static_cast<uint64_t>(RowBytesOf(h.width, bits));
            if (h.sizeImage != 0 && h.sizeImage < need)
                Fail("image size smaller than its rows");
            if (need <= kMaxImageBytes)
                h.sizeImage = static_cast<uint32_t>(need);
        }
    }
    std::string why;
    if (!CheckHeader(h, &why))
        Fail(why.c_str());

    RgbQuad table[256];
    if (keep > 0) {
        ReadExact(ar, table, 4 * static_cast<size_t>(keep),
                  "Dib::LoadFromArchive can't read colours\n");
        consumed += 4 * static_cast<uint64_t>(keep);
    } else if (bits <= 8) {
        // No colours stored: a grey ramp over the indices.
        int n = 1 << bits;
        for (int i = 0; i < n; ++i) {
            uint8_t v = static_cast<uint8_t>(i * 255 / (n - 1));
            table[i] = RgbQuad{v, v, v, 0};
        }
    }
    uint64_t skip = pixelOffset != 0 ? pixelOffset - consumed : (fileColors - keep) * 4;
    SkipBytes(ar, skip);
    consumed += skip;

    size_t headerBytes = static_cast<size_t>(HeaderSizeOf(h));
    uint32_t imageBytes = ImageSizeOf(h);
    try {
        ar.RequireBytes(imageBytes);
    } catch (const ArchiveException&) {
        LogMessage("Dib::LoadFromArchive can't read bits\n");
        throw;
    }
    auto* block = static_cast<uint8_t*>(std::calloc(1, headerBytes + imageBytes));
    if (!block)
        Fail("malloc failed");
    std::memcpy(block, &h, 40);
    if (h.compression == compressionBitFields)
        std::memcpy(block + 40, masks, 12);
    else if (bits <= 8)
        std::memcpy(block + 40, table, headerBytes - 40);
    try {
        ar.Read(block + headerBytes, imageBytes);
    } catch (const ArchiveException&) {
        std::free(block);
        LogMessage("Dib::LoadFromArchive can't read bits\n");
        throw;
    }
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    bits_ = block + headerBytes;
    ownsHeader_ = 1;
    return consumed + imageBytes;
}

int Dib::LoadPacked(const uint8_t* bytes, size_t size, uint32_t pixelOffset) {
    Release();
    MemFile memory(bytes, size);
    try {
        Archive ar(memory, Archive::load);
        ReadBitmap(ar, true, pixelOffset);
    } catch (const ArchiveException&) {
        Release();
        return 0;
    }
    return 1;
}

int Dib::ReadFileHeader(File& file, uint32_t* fileSize, uint32_t* pixelOffset) {
    uint8_t fh[kFileHeaderSize];
    size_t n = 0;
    try {
        n = file.Read(fh, sizeof fh);
    } catch (const FileException&) {
        n = 0;
    }
    if (n < sizeof fh) {
        LogMessage("Dib::LoadHeader can't read file_header\n");
        return 0;
    }
    if (Word(fh) != kFileType) {
        LogMessage("Dib::LoadHeader not a bitmap file\n");
        return 0;
    }
    if (fileSize)
        *fileSize = Dword(fh + 2);
    if (pixelOffset)
        *pixelOffset = Dword(fh + 10);
    return 1;
}

int Dib::LoadHeader(File& file) {
    return ReadFileHeader(file, nullptr, nullptr);
}

int Dib::Load(File& file) {
    Release();
    uint64_t start = file.GetPosition();
    uint32_t offBits = 0;
    if (!ReadFileHeader(file, nullptr, &offBits))
        return 0;
    uint32_t pixelOffset = PixelOffsetOf(offBits);
    uint64_t consumed = 0;
    try {
        Archive ar(file, Archive::load);
        consumed = ReadBitmap(ar, true, pixelOffset);
    } catch (const ArchiveException&) {
        Release();
        return 0;
    } catch (const FileException& e) {
        LogMessage("Dib::Load: %s\n", e.what());
        Release();
        return 0;
    }
    // The archive reads ahead: leave the file just after this bitmap.
    file.Seek(start + kFileHeaderSize + consumed);
    return 1;
}

int Dib::LoadFromMemory(const uint8_t* bytes, size_t size) {
    Release();
    if (!bytes || size < static_cast<size_t>(kFileHeaderSize)) {
        LogMessage("Dib::LoadHeader can't read file_header\n");
        return 0;
    }
    if (Word(bytes) != kFileType) {
        LogMessage("Dib::LoadHeader not a bitmap file\n");
        return 0;
    }
    return LoadPacked(bytes + kFileHeaderSize, size - kFileHeaderSize,
                      PixelOffsetOf(Dword(bytes + 10)));
}

int Dib::LoadFromFile(const std::string& path) {
    Release();
    File file;
    if (!file.Open(path, File::readOnly)) {
        LogMessage("Dib::LoadFromFile can't open file\n");
        return 0;
    }
    return Load(file);
}

int Dib::SkipInFile(File& file) {
    // Reading the bitmap is the one way to know where it ends whatever its
    // header form; the file is left just after it.
    RefPtr<Dib> scratch = new Dib;
    return scratch->Load(file);
}

namespace {

// The header block as stored: the 40-byte header, then the colours
// (palette indices resolved to the colours they stand for), then the masks.
std::vector<uint8_t> StoredHeaderBlock(const Dib& dib) {
    std::vector<uint8_t> block(static_cast<size_t>(dib.HeaderSize()));
    std::memcpy(block.data(), dib.Header(), block.size());
    PutDword(block.data(), 40);
    if (dib.GetColorUsage() == Dib::paletteIndices && dib.ColorCount() > 0) {
        RgbQuad table[256];
        dib.GetColorTable(table);
        std::memcpy(block.data() + 40, table, 4 * static_cast<size_t>(dib.ColorCount()));
    }
    return block;
}

} // namespace

int Dib::WriteToFile(File& file) {
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::WriteToFile no bitmap\n");
        return 0;
    }
    std::vector<uint8_t> block = StoredHeaderBlock(*this);
    uint32_t imageBytes = ImageSize();
    uint8_t fh[kFileHeaderSize] = {};
    fh[0] = 'B';
    fh[1] = 'M';
    PutDword(fh + 2, static_cast<uint32_t>(kFileHeaderSize + block.size() + imageBytes));
    PutDword(fh + 10, static_cast<uint32_t>(kFileHeaderSize + block.size()));
    try {
        file.Write(fh, sizeof fh);
        file.Write(block.data(), block.size());
        file.Write(bits_, imageBytes);
    } catch (const FileException& e) {
        LogMessage("Dib::WriteToFile: %s\n", e.what());
        return 0;
    }
    return 1;
}

int Dib::SaveToFile(const std::string& path) {
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::SaveToFile no bitmap\n");
        return 0;
    }
    SafeFile file;
    std::string error;
    if (!file.Open(path, &error)) {
        LogMessage("Dib::SaveToFile can't create file: %s\n", error.c_str());
        return 0;
    }
    if (!WriteToFile(file)) {
        file.Abort();
        return 0;
    }
    if (!file.Commit(&error)) {
        LogMessage("Dib::SaveToFile can't save file: %s\n", error.c_str());
        return 0;
    }
    return 1;
}

void Dib::Serialize(Archive& ar) {
    RefObject::Serialize(ar);
    if (ar.IsLoading()) {
        ReadBitmap(ar, false, 0);
        return;
    }
    if (IsEmpty() || !bits_) {
        uint8_t zero[40] = {};
        ar.Write(zero, sizeof zero);
        return;
    }
    std::vector<uint8_t> block = StoredHeaderBlock(*this);
    ar.Write(block.data(), block.size());
    ar.Write(bits_, ImageSize());
}

} // namespace orvik
