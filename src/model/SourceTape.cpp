#include "model/SourceTape.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Scene.h"
#include "model/TapeSync.h"
#include "platform/archive/Archive.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(SourceTape, RefObject, kVersionableSchema | 2)

namespace {
// Used when no resource library is loaded (tools, tests).
constexpr const char* kFallbackSceneExtension = ".scn";
} // namespace

SourceTape::SourceTape() = default;

SourceTape::SourceTape(const std::string& fileName, int32_t tapeValue)
    : fileName_(fileName), tapeValue_(tapeValue) {}

SourceTape::SourceTape(const SourceTape& other)
    : RefObject(other), fileName_(other.fileName_), tapeValue_(other.tapeValue_),
      videoFile_(other.videoFile_), audioFile_(other.audioFile_), headerWord_(other.headerWord_) {}

SourceTape::~SourceTape() = default;

void SourceTape::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(fileName_);
        ar.WriteInt32(tapeValue_);
        ar.WriteObject(sync_.get());
        return;
    }
    fileName_ = ar.ReadText();
    tapeValue_ = ar.ReadInt32();
    sync_.reset(ar.ReadObjectOf<TapeSync>());
}

void SourceTape::SetFileName(const std::string& path) {
    fileName_ = path;
    videoFile_ = nullptr;
    audioFile_ = nullptr;
}

MediaFile* SourceTape::GetVideoFile() {
    if (!videoFile_ || !videoFile_->IsValid())
        videoFile_ = OpenMediaFile(fileName_, 0, 0);
    return videoFile_ && videoFile_->IsOpen() ? videoFile_.get() : nullptr;
}

MediaFile* SourceTape::GetAudioFile() {
    if (!audioFile_ || !audioFile_->IsValid())
        audioFile_ = OpenMediaFile(fileName_, 1, 0);
    return audioFile_ && audioFile_->IsOpen() ? audioFile_.get() : nullptr;
}

void SourceTape::CloseMedia() {
    if (videoFile_)
        videoFile_->Close();
    if (audioFile_)
        audioFile_->Close();
    videoFile_ = nullptr;
    audioFile_ = nullptr;
}

void SourceTape::SetSync(std::unique_ptr<TapeSync> sync) { sync_ = std::move(sync); }

std::unique_ptr<TapeSync> SourceTape::DropSync() { return std::move(sync_); }

ClipList* SourceTape::GetSceneList() const { return scenes_.get(); }

void SourceTape::SetSceneList(ClipList* list) { scenes_ = list; }

std::string SourceTape::SceneFilePath() const {
    std::string ext = ResourceText(kTextSceneExtension);
    if (ext.empty())
        ext = kFallbackSceneExtension;
    std::string path = NormalizeSeparators(fileName_);
    std::string oldExt = ExtensionOf(path);
    return path.substr(0, path.size() - oldExt.size()) + ext;
}

bool SourceTape::WriteSceneFile() {
    std::string path = SceneFilePath();
    if (!scenes_) {
        LogMessage("SourceTape::WriteSceneFile %s failed\n", path.c_str());
        return false;
    }
    SafeFile file;
    if (!file.Open(path)) {
        LogMessage("SourceTape::WriteSceneFile %s failed\n", path.c_str());
        return false;
    }
    // The scenes refer to a light copy of this tape, written once inside the
    // first scene; the tape in the header is this one.
    RefPtr<SourceTape> copy = new SourceTape(*this);
    for (auto& clip : scenes_->GetClips()) {
        if (Scene* scene = DynamicCast<Scene>(clip->GetAsset()))
            scene->SetTape(copy.get());
        else
            LogMessage("SourceTape::WriteSceneFile: not a Scene!\n");
    }
    try {
        Archive ar(file, Archive::store);
        ar.WriteDword(kSceneFileMagic);
        ar.WriteWord(kSceneFileVersion);
        ar.WriteWord(headerWord_);
        ar.WriteObject(this);
        scenes_->Serialize(ar);
        ar.Close();
    } catch (const std::exception& e) {
        LogMessage("SourceTape::WriteSceneFile %s failed\n", path.c_str());
        return false;
    }
    if (!file.Commit()) {
        LogMessage("SourceTape::WriteSceneFile %s failed\n", path.c_str());
        return false;
    }
    return true;
}

bool SourceTape::ReadSceneFile() {
    std::string path = SceneFilePath();
    File file;
    if (!file.Open(path, File::readOnly) || file.GetLength() == 0)
        return false;
    scenes_ = new ClipList;
    sync_.reset();
    uint64_t mark = RefObject::OrphanMark();
    try {
        Archive ar(file, Archive::load);
        if (ar.ReadDword() != kSceneFileMagic)
            throw ArchiveException(ArchiveException::badClass, "not a scene file");
        uint16_t version = ar.ReadWord();
        if (version < 3 || version > 4)
            throw ArchiveException(ArchiveException::badSchema,
                                   "scene file version " + std::to_string(version));
        headerWord_ = ar.ReadWord();
        RefPtr<SourceTape> read = ar.ReadObjectOf<SourceTape>();
        if (!read)
            throw ArchiveException(ArchiveException::badClass, "a scene file without its tape");
        scenes_->Serialize(ar);

        read->fileName_ = fileName_;
        read->headerWord_ = headerWord_;
        tapeValue_ = read->tapeValue_;
        sync_ = std::move(read->sync_);
        for (auto& clip : scenes_->GetClips()) {
            clip->SetSelected(false);
            clip->SetMarked(false);
            if (Scene* scene = DynamicCast<Scene>(clip->GetAsset()))
                scene->SetTape(read.get());
            else
                LogMessage("SourceTape::ReadSceneFile: not a Scene!\n");
        }
    } catch (const std::exception&) {
        // A damaged file never leaves a half-read list.
        LogMessage("SourceTape::ReadSceneFile %s failed\n", path.c_str());
        scenes_->RemoveAll();
        RefObject::ReleaseOrphansSince(mark);
        return false;
    }
    return true;
}

std::unique_ptr<TapeSync> SourceTape::TakeSync() {
    ReadSceneFile();
    scenes_ = nullptr;
    return std::move(sync_);
}

} // namespace orvik
