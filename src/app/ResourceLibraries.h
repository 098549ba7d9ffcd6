#pragma once

#include "platform/resources/ResourceLibrary.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvik {


// The application's resource libraries: the common library of the chosen
// language, the board's library of that language, the bitmap library and one
// of the two screen-size libraries. Resources are looked up in the libraries
// in load order.
class ResourceLibraries {
public:
    // Called once, for the first library that fails to load in a run, with
    // the message and the caption of the warning box.
    using WarningHandler = std::function<void(const std::string& text, const std::string& caption)>;

    ResourceLibraries();
    ~ResourceLibraries();

    void SetWarningHandler(WarningHandler handler) { warn_ = std::move(handler); }

    // Loads the libraries for `language` ("US"), choosing the screen-size
    // library from `forceResolution` (1: 800 x 600, 2: 1024 x 768, else the
    // screen's size, at least 800 x 600). Does nothing when `language` is
    // the one loaded. Returns false when any library fails to load.
    bool Load(const std::string& language, int forceResolution, int screenWidth,
              int screenHeight);
    void Free();

    const std::string& Language() const { return language_; }
    int LayoutWidth() const { return layoutWidth_; }
    int LayoutHeight() const { return layoutHeight_; }
    // The file names loaded, in order.
    std::vector<std::string> LoadedFiles() const;

    // A text by number, "PRODUCT_TOKEN" not yet replaced; empty when missing.
    std::string GetText(uint32_t id) const;
    // The same with "PRODUCT_TOKEN" replaced by the product name.
    std::string GetProductText(uint32_t id) const;
    // Bitmaps and data, as stored; null when missing.
    const std::vector<uint8_t>* FindBitmap(const std::string& name) const;
    const std::vector<uint8_t>* FindBitmap(uint32_t number) const;
    const std::vector<uint8_t>* FindData(uint32_t number) const;
    // 256 entries of red, green, blue, flags; null when missing.
    const std::vector<uint8_t>* FindPalette() const;
    const std::vector<uint8_t>* Find(ResourceLibrary::Type type, uint32_t number) const;
    const std::vector<uint8_t>* Find(ResourceLibrary::Type type, const std::string& name) const;

    // The application's loaded libraries, through which every Part reads its
    // texts; null before start-up loads them.
    static ResourceLibraries* Current();
    static void SetCurrent(ResourceLibraries* libraries);

    // The file name of a library: base name + the library extension.
    static std::string FileNameOf(const std::string& baseName);

private:
    bool LoadOne(const std::string& baseName);

    std::string language_;
    std::vector<std::unique_ptr<ResourceLibrary>> libraries_;
    WarningHandler warn_;
    bool warned_ = false;
    int layoutWidth_ = 0, layoutHeight_ = 0;
};

// A text of the application's libraries (empty when none are loaded or the
// text is missing), with "PRODUCT_TOKEN" replaced.
std::string ResourceText(uint32_t id);

// Replaces every "PRODUCT_TOKEN" in `text` with the product name.
std::string SubstituteProductName(const std::string& text);

} // namespace orvik
