#pragma once

#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include "model/FieldList.h"

#include <string>

namespace orvik {

class Archive;
class Clip;
class Dib;
class MediaFile;

// A piece of media that clips use: a scene, a graphic or title, a sound, MIDI
// or CD music, generated music, a transition. Several clips may share one
// asset. An asset may own a working file: a private file the application made
// (a title picture, a recording, generated music), which it embeds in the
// project when the movie is saved.
class Asset : public RefObject {
    ORVIK_DECLARE_SERIAL(Asset)
public:
    // Kind codes (clip filters use 7 for "any kind but transitions").
    enum Kind {
        kindPlain = 0,
        kindTransition = 1,
        kindScene = 2,
        kindGraphic = 3,
        kindSound = 4,
        kindMidi = 5,
        kindCd = 6,
        kindAnyButTransition = 7,
        kindMusic = 8,
    };

    // The embedded-file marker of an asset whose working file stays where it
    // is (streams this process keeps in its own memory).
    static constexpr uint32_t kWorkingFileInPlace = 0x80000000u;

    Asset();
    Asset(const std::string& fileName, Time start, Time duration);
    Asset(const Asset& other);
    ~Asset() override;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    virtual bool IsEqual(const Asset* other) const;
    virtual bool IsNotEqual(const Asset* other) const { return !IsEqual(other); }
    virtual void SetFileName(const std::string& path);
    virtual std::string GetFileName() const { return fileName_; }
    // Draws the clip's small picture; the base draws nothing.
    virtual int CreatePicon(Dib* picture, Clip* clip, Time offset);
    virtual bool HasAudio() const { return false; }
    virtual bool HasWaveform() const { return false; }
    virtual Dib* GetSelectedFramePicture() { return nullptr; }
    virtual Dib* GetFramePicture() { return nullptr; }
    virtual Time GetOffset() const { return 0; }
    virtual int GetKind() const { return kindPlain; }
    virtual int GetPlaybackKind() const { return GetKind(); }
    virtual int GetNaturalTrack() const { return -1; }
    virtual std::string GetKindName(const Clip* clip) const;
    virtual std::string GetLabel(const Clip* clip) const;
    virtual std::string GetDescription(const Clip* clip) const { return GetLabel(clip); }
    virtual std::string GetName() const { return std::string(); }
    virtual bool WantsWorkingCopy() const { return false; }
    virtual bool IsWorkingFile() const { return isWorkingFile_; }
    virtual void StoreWorkingFile(Archive& ar);
    virtual void LoadWorkingFile(Archive& ar);
    virtual void SetWorkingFileName(const std::string& path);
    virtual std::string GetWorkingFileName() const;
    // The media files the engine reads; owned by the shared reader cache.
    virtual MediaFile* GetAudioFile();
    virtual MediaFile* GetVideoFile();
    virtual void Refresh() {}
    virtual bool CopyOnTrim() const { return false; }
    virtual void AdjustToClip(Time trimStart, Time duration);
    virtual void SetRenderedFileName(const std::string& path);
    virtual std::string GetRenderedFileName() const { return std::string(); }
    virtual std::string GetText(const Clip* clip) const;
    // The fields this asset saves, its kind's own after the base's.
    virtual void ListFields(FieldList& out) const;

    Time GetStart() const { return start_; }
    Time GetDuration() const { return duration_; }
    void SetStart(Time t) { start_ = t; }
    void SetDuration(Time t) { duration_ = t; }

protected:
    // Changes the file name and whether it is a working file, keeping the
    // asset manager's count of each working file's users right.
    void SetFile(const std::string& path, bool working);

    std::string fileName_;
    Time start_ = 0;
    Time duration_ = 0;
    bool isWorkingFile_ = false;
};

// The file name without its folder and extension.
std::string FileTitleWithoutExtension(const std::string& path);

} // namespace orvik
