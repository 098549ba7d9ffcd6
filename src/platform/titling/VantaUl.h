#pragma once

#include "platform/titling/TitleDocument.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// What the titling library asks of the program that uses it: the program
// implements these operations (in this order) and hands itself to the
// library, which calls them from its composition (the thread that runs
// Compose).
class VantaUlCallback {
public:
    virtual ~VantaUlCallback() = default;
    virtual int Query(int what) = 0;
    // A frame grab asked for from the composition.
    virtual int Grab() = 0;
    // Opens or saves the title file `path` for the library.
    virtual int Open(const std::string& path) = 0;
    virtual int Save(const std::string& path) = 0;
    // A file name for the title being composed.
    virtual std::string Name() = 0;
};

class VantaUl;

// The composition: where a person edits the library's title. The desktop
// installs a window; without one (the command line, tests) composing is
// always cancelled.
class TitleComposer {
public:
    virtual ~TitleComposer() = default;
    // Edits `library`'s title; non-zero when the person confirms.
    virtual int Compose(VantaUl& library) = 0;

    // The composer in use (never null: the headless one until one is
    // installed).
    static TitleComposer& Current();
    // Installs `composer` (null restores the headless one). Not owned.
    static void Install(TitleComposer* composer);
};

// The titling library: one title document at a time, rendered at any size
// into a 32-bit packed bitmap whose fourth byte is the title's alpha (the
// colours premultiplied by it). Operations answer non-zero on success and
// leave a text for GetErrorString on failure.
//
// Not thread-safe by itself: its user serialises every call.
class VantaUl {
public:
    // Largest render asked for, in pixels.
    static constexpr int64_t kMaxRenderPixels = int64_t(4096) * 4096;

    VantaUl(const std::string& productName, void* window, VantaUlCallback* callback);
    ~VantaUl();
    VantaUl(const VantaUl&) = delete;
    VantaUl& operator=(const VantaUl&) = delete;

    int SetAspectRatio(int x, int y);
    int SetFileExtension(const std::string& extension, const std::string& description);
    // The frame of new titles; a size outside 1..8192 fails.
    int SetTvSize(int width, int height);
    int SetFilename(const std::string& name);
    // Replaces the title by the document in `data`; none (null or 0 bytes)
    // starts an empty title of the TV size. Damaged data fails and keeps the
    // title as it was.
    int SetPrivateData(const uint8_t* data, size_t size);
    // The title's private form (valid until the next call).
    const uint8_t* GetPrivateData();
    uint32_t GetPrivateDataSize();
    // The texts of the title as one line.
    std::string GetTextString() const;
    // The background the composition shows behind the title: a packed
    // bitmap (header and pixels), copied; null clears it.
    int SetBackground(const uint8_t* packedBitmap, size_t size);
    // Renders the title at width x height (0: the TV size) as a packed
    // bitmap (40-byte header, bottom-up 32-bit rows) that the library keeps
    // until the next Render; null on failure.
    const uint8_t* Render(int width, int height);
    // Runs the composition; non-zero when the person confirmed.
    int Compose();
    std::string GetErrorString() const { return error_; }

    // For compositions: the title being edited and the program's callback.
    TitleDocument& Document() { return document_; }
    VantaUlCallback* Callback() const { return callback_; }
    const std::string& Filename() const { return filename_; }
    const std::string& ProductName() const { return productName_; }
    const std::string& FileExtension() const { return extension_; }
    int TvWidth() const { return tvWidth_; }
    int TvHeight() const { return tvHeight_; }
    const std::vector<uint8_t>& Background() const { return background_; }

private:
    int Fail(const std::string& why);

    std::string productName_;
    void* window_;
    VantaUlCallback* callback_;
    std::string extension_, description_, filename_, error_;
    int aspectX_ = 4, aspectY_ = 3;
    int tvWidth_ = 768, tvHeight_ = 576;
    TitleDocument document_;
    std::vector<uint8_t> privateData_;
    std::vector<uint32_t> rendered_; // aligned for the header
    std::vector<uint8_t> background_;
};

} // namespace orvik
