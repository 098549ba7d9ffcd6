#pragma once

#include "platform/gdi/ColorRef.h"

#include <cstdint>
#include <vector>

namespace orvik {

// A logical palette of up to 256 colours with nearest-colour lookup.
class Palette {
public:
    // Flags of an entry.
    static constexpr uint8_t kReserved = 0x1;
    static constexpr uint8_t kExplicit = 0x2;
    static constexpr uint8_t kNoCollapse = 0x4;
    static constexpr int kMaxEntries = 256;

    struct Entry {
        uint8_t red = 0, green = 0, blue = 0, flags = 0;
    };

    Palette() = default;
    virtual ~Palette();

    // Replaces the entries; false for a count outside 1..256.
    bool Create(const Entry* entries, int count);
    // The same from `count` groups of red, green, blue and flags bytes.
    bool CreateFromBytes(const uint8_t* rgbf, int count);
    void Clear() { entries_.clear(); }

    bool IsValid() const { return !entries_.empty(); }
    int Size() const { return static_cast<int>(entries_.size()); }
    const Entry& At(int index) const { return entries_[index]; }
    const std::vector<Entry>& Entries() const { return entries_; }
    // Copies up to `count` entries from `start`; returns how many.
    int GetEntries(int start, int count, Entry* out) const;
    int SetEntries(int start, int count, const Entry* in);

    // The index of the entry closest to `color` (smallest sum of squared
    // channel differences, the lowest index on a tie); a palette-index colour
    // gives its own index when it is in range. 0 for an empty palette.
    int NearestIndex(ColorRef color) const;
    // The colour of an entry, or of the nearest one.
    ColorRef NearestColor(ColorRef color) const;

private:
    std::vector<Entry> entries_;
};

// The same lookup over a device-independent colour table (blue, green, red,
// reserved quads).
int NearestTableIndex(const uint8_t* bgrQuads, int count, ColorRef color);

} // namespace orvik
