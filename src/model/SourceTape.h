#pragma once

#include "model/RefObject.h"
#include "model/RefPtr.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

class ClipList;
class MediaFile;
class TapeSync;

// One captured video file and, while it is read or written, the list of
// scenes found in it. All scenes of one file share one tape object. The scene
// list is kept beside the video file in a scene file, so that the album can
// show a tape again without analysing it.
class SourceTape : public RefObject {
    ORVIK_DECLARE_SERIAL(SourceTape)
public:
    static constexpr uint32_t kSceneFileMagic = 0x12663;
    static constexpr uint16_t kSceneFileVersion = 4;

    SourceTape();
    SourceTape(const std::string& fileName, int32_t tapeValue);
    // Copies the file name, tape value and header word; no scenes, no sync.
    SourceTape(const SourceTape& other);
    ~SourceTape() override;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override { return new SourceTape(*this); }

    const std::string& GetFileName() const { return fileName_; }
    void SetFileName(const std::string& path);
    int32_t GetTapeValue() const { return tapeValue_; }
    void SetTapeValue(int32_t v) { tapeValue_ = v; }
    uint16_t GetHeaderWord() const { return headerWord_; }
    void SetHeaderWord(uint16_t w) { headerWord_ = w; }

    TapeSync* GetSync() const { return sync_.get(); }
    void SetSync(std::unique_ptr<TapeSync> sync);
    std::unique_ptr<TapeSync> DropSync();

    // The media files of the tape, opened on first use; null while they do
    // not open.
    MediaFile* GetVideoFile();
    MediaFile* GetAudioFile();
    void CloseMedia();

    ClipList* GetSceneList() const;
    void SetSceneList(ClipList* list);

    // The scene file beside the video file (its extension replaced).
    std::string SceneFilePath() const;
    // Writes the scene list (which must be set); the old file is replaced
    // only once the new one is whole.
    bool WriteSceneFile();
    // Reads the scene file into a new scene list; a damaged file leaves the
    // list empty.
    bool ReadSceneFile();
    // Reads the scene file for its sync, drops the scenes again, and hands
    // the sync over.
    std::unique_ptr<TapeSync> TakeSync();

private:
    std::string fileName_;
    int32_t tapeValue_ = 0;
    std::unique_ptr<TapeSync> sync_;
    RefPtr<ClipList> scenes_;
    RefPtr<MediaFile> videoFile_;
    RefPtr<MediaFile> audioFile_;
    uint16_t headerWord_ = 0;
};

} // namespace orvik
