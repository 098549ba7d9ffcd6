#include "imaging/XPalette.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "platform/gdi/Display.h"

#include <atomic>

namespace orvik {

namespace {

std::atomic<const XPalette*> appPalette{nullptr};

// Used when no application palette is set: green, red and blue in 3, 3 and
// 2 bits, the layout of Dib::SetColorCube.
const Palette& FixedPalette() {
    static const Palette fixed = [] {
        Palette p;
        Palette::Entry entries[256];
        for (int g = 0; g < 8; ++g)
            for (int r = 0; r < 8; ++r)
                for (int b = 0; b < 4; ++b)
                    entries[g * 32 + r * 4 + b] = Palette::Entry{
                        static_cast<uint8_t>(r * 255 / 7), static_cast<uint8_t>(g * 255 / 7),
                        static_cast<uint8_t>(b * 255 / 3), 0};
        p.Create(entries, 256);
        return p;
    }();
    return fixed;
}

} // namespace

XPalette::XPalette() = default;
XPalette::~XPalette() {
    const XPalette* self = this;
    appPalette.compare_exchange_strong(self, nullptr);
}

const Palette& XPalette::AppPalette() {
    const XPalette* p = appPalette.load();
    return p && p->IsValid() ? *p : FixedPalette();
}

void XPalette::SetAppPalette(const XPalette* palette) {
    appPalette.store(palette);
}

int XPalette::LoadFromResource(const std::string& name) {
    RefPtr<Dib> dib = new Dib;
    if (!dib->LoadResource(name, false)) {
        LogMessage("XPalette::LoadFromResource failed\n");
        return 0;
    }
    if (dib->ColorCount() != 256) {
        LogMessage("XPalette:: palette is not 256 colors\n");
        return 0;
    }
    RgbQuad table[256];
    dib->GetColorTable(table);
    Entry entries[256];
    for (int i = 0; i < 256; ++i)
        entries[i] = Entry{table[i].red, table[i].green, table[i].blue, 0};
    if (!Create(entries, 256)) {
        LogMessage("XPalette - could not create palette\n");
        return 0;
    }
    return 1;
}

int XPalette::CreateFromEntries(const uint8_t* rgbf, size_t size) {
    if (!rgbf || size % 4 != 0 || size == 0 || size > 4 * 256 ||
        !CreateFromBytes(rgbf, static_cast<int>(size / 4))) {
        LogMessage("XPalette - could not create palette\n");
        return 0;
    }
    return 1;
}

int XPalette::CreateGrey(int count) {
    if (count == 0)
        count = 256;
    if (count < 1 || count > 256) {
        LogMessage("XPalette - could not create palette\n");
        return 0;
    }
    Entry entries[256];
    for (int i = 0; i < count; ++i)
        entries[i] = Entry{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                           static_cast<uint8_t>(i), kNoCollapse};
    if (!Create(entries, count)) {
        LogMessage("XPalette - could not create palette\n");
        return 0;
    }
    return 1;
}

int XPalette::SetSystemPalette() const {
    if (!Display::IsPaletteBased() || Display::ColorCount() > 256) {
        LogMessage("XPalette::SetSystemPalette() - too many palette colors\n");
        return 0;
    }
    return 1;
}

} // namespace orvik
