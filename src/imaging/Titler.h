#pragma once

#include "model/RefPtr.h"
#include "model/Time.h"
#include "platform/archive/RuntimeClass.h"
#include "platform/titling/VantaUl.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvik {

class Archive;
class Clip;
class Dib;

// The program's side of the titling library: it keeps the title file the
// library's state belongs to, saves and loads title files, renders titles
// at any size (from the stored thumbnail when it will do, else through the
// library) and runs the composition of new and edited titles. One per
// application; while it lives, graphic clips show their titles through it.
//
// A title file is an archive: the bytes "vnq ", the schema 0x80000001, the
// keep-path flag, whether a thumbnail follows, the title's text, the
// library's private data (a count and the bytes) and the 160 x 120 32-bit
// thumbnail with alpha.
//
// Every operation that reaches the library or the fields below takes the
// lock, so renders asked for by other threads (graphics, thumbnails) wait
// for a running load or save.
class Titler : public PersistentObject, private VantaUlCallback {
    ORVIK_DECLARE_DYNAMIC(Titler)
public:
    static constexpr uint8_t kMagic[4] = {'v', 'n', 'q', ' '};
    static constexpr uint32_t kSchema = 0x80000001u;
    static constexpr uint32_t kTextTitleExtension = 50298;
    static constexpr uint32_t kTextTitleDescription = 50308;
    static constexpr uint32_t kTextUntitled = 61443;
    static constexpr int kImageWidth = 160;
    static constexpr int kImageHeight = 120;

    Titler();
    ~Titler() override;
    Titler(const Titler&) = delete;
    Titler& operator=(const Titler&) = delete;

    // The application's titler, or null.
    static Titler* Instance();

    // Whether `path` starts with the title file magic.
    static bool IsTitleFile(const std::string& path);
    // The name a title of `text` is saved under: the text without blanks at
    // either end and with the characters that cannot stand in file names
    // replaced, after the folder of the "Graphic file" setting.
    static std::string MakeTitleName(const std::string& text);

    int LoadTitle(const std::string& path);
    int SaveTitle(const std::string& path);
    void SetCurrentPath(const std::string& path);
    // The title `path` at width x height (0: the TV size) in `bitCount` bits
    // (0: 24), or its 8-bit alpha mask.
    int RenderTitle(Dib& dib, const std::string& path, int width, int height, int bitCount);
    int RenderTitleAlpha(Dib& dib, const std::string& path, int width, int height);
    // Where the composition's background frame comes from: a title for the
    // title track (1) shows the movie's video at `time` behind it.
    void SetBackgroundSource(int32_t track, Time time);
    // Composes a new title, or edits the title file `path`, and saves it as
    // a new working file; the file's path, empty when cancelled or failed.
    std::string NewTitle();
    std::string EditTitle(const std::string& path);
    std::string GetText();

    // Draws the frame of `clip` at `offset` into `frame` (24-bit, already
    // made at the thumbnail size); the default asks the clip's asset for its
    // thumbnail picture. The engine installs its own renderer later.
    using FrameSource = std::function<bool(Dib& frame, Clip& clip, Time offset)>;
    void SetFrameSource(FrameSource source);

    // The title file's fields (after the magic and schema when loading
    // through LoadTitle; Serialize itself reads and writes them all). A
    // damaged file raises ArchiveException and changes nothing.
    void Serialize(Archive& ar) override;

    // State, for the composition and for checks.
    VantaUl& Library() { return *library_; }
    std::string GetCurrentPath();
    std::string GetSavedName();
    bool SavedByLibrary();
    bool HasImage();
    int TvWidth() const { return tvWidth_; }
    int TvHeight() const { return tvHeight_; }

    // Helpers for pictures that may be titles: they go through the titler
    // when one exists and fail (logged) when none does.
    static bool DibIsLibraryTitle(const std::string& path);
    static int DibLoadTitle(Dib& dib, const std::string& path, int width, int height, int bitCount);
    static int DibLoadTitleAlpha(Dib& dib, const std::string& path, int width, int height);
    static bool DibIsTitle(const std::string& path);
    static int DibLoadAlpha(Dib& dib, const std::string& path);

private:
    // VantaUlCallback: called by the library from the composition.
    int Query(int what) override;
    int Grab() override;
    int Open(const std::string& path) override;
    int Save(const std::string& path) override;
    std::string Name() override;

    int RenderLocked(Dib& dib, int width, int height, int bitCount);
    int RenderAlphaLocked(Dib& dib, int width, int height);
    // Renders through the library into `dib` (its picture, or with `alpha`
    // its alpha mask); 0 (logged) when it cannot.
    int LibraryRender(Dib& dib, int width, int height, bool alpha);
    void SetLibraryBackground();
    std::string ComposeAndSave();
    void LogLibraryFailure(const char* operation);

    std::recursive_mutex lock_;
    std::unique_ptr<VantaUl> library_;
    // The callback's state.
    std::string currentPath_;
    std::string savedName_;
    bool savedByLibrary_ = false;
    uint32_t keepPath_ = 0;
    // The title file's contents.
    std::string text_;
    std::vector<uint8_t> privateData_;
    RefPtr<Dib> image_;
    uint32_t hasImage_ = 0;
    int32_t backgroundTrack_ = -1;
    Time backgroundTime_ = 0;
    int tvWidth_ = 768;
    int tvHeight_ = 576;
    int imageWidth_ = kImageWidth;
    int imageHeight_ = kImageHeight;
    FrameSource frameSource_;
};

} // namespace orvik
