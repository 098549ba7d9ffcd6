#pragma once

#include "model/WaveAsset.h"

#include <array>
#include <functional>
#include <string>

namespace orvik {

// Background music generated from five request texts (style, song, version,
// volume name, library name) and the asset's duration, played from the sound
// file the generator rendered.
//
// Each asset owns its rendered file alone: a copy starts without one and
// renders its own, so trimming or destroying a copy (which deletes the copy's
// file) never takes away a file the original still plays.
class SonicAsset : public WaveAsset {
    ORVIK_DECLARE_SERIAL(SonicAsset)
public:
    static constexpr int kRequestCount = 5;

    SonicAsset() = default;
    SonicAsset(const std::array<std::string, kRequestCount>& requests, Time duration);
    SonicAsset(const SonicAsset& other);
    ~SonicAsset() override;

    void Serialize(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;

    int GetKind() const override { return kindMusic; }
    int GetPlaybackKind() const override { return kindSound; }
    int GetNaturalTrack() const override { return 4; }
    std::string GetLabel(const Clip* clip) const override;
    // The rendered sound file; when there is none and generating has not
    // failed yet, the music generator makes it first. Null (and `failed`
    // set) when nothing could be made: the piece is silent until its
    // duration changes.
    MediaFile* GetAudioFile() override;
    // Stores the name only (no file is opened).
    void SetFileName(const std::string& path) override;
    // A trimmed clip gets its own copy, rendered again at the new length.
    bool CopyOnTrim() const override { return true; }
    void AdjustToClip(Time trimStart, Time duration) override;
    void SetRenderedFileName(const std::string& path) override;
    std::string GetRenderedFileName() const override { return renderedFile_; }

    // Request texts 1 … 5.
    const std::string& GetRequest(int n) const { return requests_[static_cast<size_t>(n - 1)]; }
    bool HasFailed() const { return failed_; }

    // Deletes the rendered file (it is made again when next needed).
    void DeleteRenderedFile();

    // Makes a sound file of exactly `duration` from a style, song and
    // version of the music library on a volume: the path of the file, or an
    // empty text when none could be made. Installed by the background-music
    // service; called on the user-interface thread.
    using Generator = std::function<std::string(
        const std::string& style, const std::string& song, const std::string& version,
        Time duration, const std::string& volumeName, const std::string& libraryName)>;
    static void SetGenerator(Generator generator);

private:
    std::array<std::string, kRequestCount> requests_;
    std::string renderedFile_;
    // The rendered file is a working file the asset manager counts (one
    // loaded from a project): it is released to the manager, not deleted.
    bool renderedCounted_ = false;
    bool failed_ = false;
};

} // namespace orvik
