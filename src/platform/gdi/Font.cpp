#include "platform/gdi/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define ORVIK_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVIK_LEAK_CHECKS 1
#endif
#endif
#ifdef ORVIK_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace orvik {

namespace {

// FreeType's library object and Fontconfig's configuration are shared by all
// fonts; creating and destroying faces goes through this lock.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return library;
}

// Finds the file of the best match; false when Fontconfig knows no font.
bool MatchFile(const std::string& family, bool bold, bool italic, std::string& path, int& index) {
    static bool configured = [] {
    // Fontconfig loses a few bytes of its own while it parses the
    // configuration, once per process; the leak checker is told not to
    // count them against the program.
#ifdef ORVIK_LEAK_CHECKS
        __lsan_disable();
#endif
        bool ok = FcInit() == FcTrue;
#ifdef ORVIK_LEAK_CHECKS
        __lsan_enable();
#endif
        return ok;
    }();
    if (!configured)
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        path = reinterpret_cast<const char*>(file);
        int i = 0;
        index = FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch ? i : 0;
    }
    FcPatternDestroy(match);
    return found;
}

} // namespace

struct Font::Impl {
    std::string path, family;
    int pixelHeight = 0;
    int ascent = 0, descent = 0;
    FT_Face face = nullptr;
    hb_font_t* hbFont = nullptr;
    hb_buffer_t* buffer = nullptr;
    mutable std::mutex lock;

    // The caller holds the library lock.
    ~Impl() {
        if (buffer)
            hb_buffer_destroy(buffer);
        if (hbFont)
            hb_font_destroy(hbFont);
        if (face)
            FT_Done_Face(face);
    }
};

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() {
    std::lock_guard<std::mutex> guard(LibraryLock());
    impl_.reset();
}

std::shared_ptr<Font> Font::Create(const std::string& family, int pixelHeight, bool bold,
                                   bool italic) {
    if (pixelHeight < 1 || pixelHeight > kMaxPixelHeight)
        return nullptr;
    std::lock_guard<std::mutex> guard(LibraryLock());
    FT_Library lib = Library();
    if (!lib)
        return nullptr;
    auto impl = std::make_unique<Impl>();
    int index = 0;
    if (!MatchFile(family.empty() ? kDefaultFamily : family, bold, italic, impl->path, index))
        return nullptr;
    if (FT_New_Face(lib, impl->path.c_str(), index, &impl->face) != 0) {
        impl->face = nullptr;
        return nullptr;
    }
    if (FT_Set_Pixel_Sizes(impl->face, 0, static_cast<FT_UInt>(pixelHeight)) != 0)
        return nullptr;
    impl->family = impl->face->family_name ? impl->face->family_name : "";
    impl->pixelHeight = pixelHeight;
    const FT_Size_Metrics& m = impl->face->size->metrics;
    impl->ascent = static_cast<int>((m.ascender + 63) >> 6);
    impl->descent = static_cast<int>((-m.descender + 63) >> 6);
    impl->hbFont = hb_ft_font_create_referenced(impl->face);
    impl->buffer = hb_buffer_create();
    if (!impl->hbFont || !hb_buffer_allocation_successful(impl->buffer))
        return nullptr;
    return std::shared_ptr<Font>(new Font(std::move(impl)));
}

const std::string& Font::FilePath() const {
    return impl_->path;
}
const std::string& Font::FamilyName() const {
    return impl_->family;
}
int Font::PixelHeight() const {
    return impl_->pixelHeight;
}
int Font::Ascent() const {
    return impl_->ascent;
}
int Font::Descent() const {
    return impl_->descent;
}

int Font::Render(std::string_view utf8, const GlyphSink& sink) const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    hb_buffer_t* buf = impl_->buffer;
    hb_buffer_reset(buf);
    hb_buffer_add_utf8(buf, utf8.data(), static_cast<int>(utf8.size()), 0,
                       static_cast<int>(utf8.size()));
    hb_buffer_guess_segment_properties(buf);
    hb_shape(impl_->hbFont, buf, nullptr, 0);
    unsigned int count = 0;
    hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
    hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &count);
    int64_t penX = 0, penY = 0; // 26.6
    for (unsigned int i = 0; i < count; ++i) {
        if (sink && FT_Load_Glyph(impl_->face, info[i].codepoint, FT_LOAD_DEFAULT) == 0 &&
            FT_Render_Glyph(impl_->face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            FT_GlyphSlot g = impl_->face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.width > 0 && bm.rows > 0 &&
                bm.pitch > 0) {
                int x = static_cast<int>((penX + pos[i].x_offset + 32) >> 6) + g->bitmap_left;
                int y = static_cast<int>((penY - pos[i].y_offset + 32) >> 6) - g->bitmap_top;
                sink(x, y, static_cast<int>(bm.width), static_cast<int>(bm.rows), bm.pitch,
                     bm.buffer);
            }
        }
        penX += pos[i].x_advance;
        penY -= pos[i].y_advance;
    }
    return static_cast<int>((penX + 32) >> 6);
}

int Font::Measure(std::string_view utf8) const {
    return Render(utf8, nullptr);
}

} // namespace orvik
