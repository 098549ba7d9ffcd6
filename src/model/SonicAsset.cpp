#include "model/SonicAsset.h"

#include "app/DiagnosticsLog.h"
#include "media/MediaFiles.h"
#include "model/AssetManager.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(SonicAsset, WaveAsset, kVersionableSchema | 1)

namespace {
SonicAsset::Generator generator;
}

void SonicAsset::SetGenerator(Generator g) {
    generator = std::move(g);
}

SonicAsset::SonicAsset(const std::array<std::string, kRequestCount>& requests, Time duration)
    : WaveAsset(std::string(), 0, duration), requests_(requests) {}

// The copy renders its own file: see the class comment.
SonicAsset::SonicAsset(const SonicAsset& other)
    : WaveAsset(other), requests_(other.requests_), renderedFile_(), renderedCounted_(false),
      failed_(false) {}

SonicAsset::~SonicAsset() {
    if (!AssetManager::IsClosing())
        DeleteRenderedFile();
}

RefObject* SonicAsset::Clone() const { return new SonicAsset(*this); }

void SonicAsset::Serialize(Archive& ar) {
    WaveAsset::Serialize(ar);
    if (ar.IsStoring()) {
        for (const std::string& r : requests_)
            ar.WriteText(r);
        return;
    }
    for (std::string& r : requests_)
        r = ar.ReadText();
    if (IsWorkingFile()) {
        // The music embedded in the project plays without being generated
        // again: the working file becomes the rendered file. The manager's
        // count of the file moves from the working-file name to it.
        DeleteRenderedFile();
        renderedFile_ = fileName_;
        if (AssetManager* m = AssetManager::Instance()) {
            m->AddUser(renderedFile_);
            renderedCounted_ = true;
        }
        SetWorkingFileName(std::string());
        failed_ = false;
    }
}

std::string SonicAsset::GetLabel(const Clip*) const {
    return requests_[1] + " [" + requests_[2] + "]";
}

void SonicAsset::SetFileName(const std::string& path) { SetFile(path, isWorkingFile_); }

MediaFile* SonicAsset::GetAudioFile() {
    if (renderedFile_.empty()) {
        if (failed_)
            return nullptr;
        if (!generator) {
            LogMessage("SonicAsset::GetAudioFile: no music generator for '%s' [%s]\n",
                       requests_[1].c_str(), requests_[2].c_str());
            failed_ = true;
            return nullptr;
        }
        std::string made = generator(requests_[0], requests_[1], requests_[2], duration_,
                                     requests_[3], requests_[4]);
        if (made.empty()) {
            LogMessage("SonicAsset::GetAudioFile: no music made for '%s' [%s]\n",
                       requests_[1].c_str(), requests_[2].c_str());
            failed_ = true;
            return nullptr;
        }
        renderedFile_ = made;
    }
    if (!media_ || !media_->IsValid())
        media_ = OpenMediaFile(renderedFile_, 1, 0);
    return media_ && media_->IsOpen() ? media_.get() : nullptr;
}

void SonicAsset::AdjustToClip(Time, Time duration) {
    duration_ = duration;
    failed_ = false;
    DeleteRenderedFile();
    // Generated again at once, at the new length.
    GetAudioFile();
}

void SonicAsset::SetRenderedFileName(const std::string& path) {
    if (path == renderedFile_)
        return;
    DeleteRenderedFile();
    renderedFile_ = path;
}

void SonicAsset::DeleteRenderedFile() {
    Refresh();
    if (renderedFile_.empty())
        return;
    std::string path = renderedFile_;
    renderedFile_.clear();
    AssetManager* m = AssetManager::Instance();
    if (renderedCounted_) {
        renderedCounted_ = false;
        if (m)
            m->ReleaseUser(path);
        return;
    }
    // Only files the program made are ever deleted.
    if (!m || !m->IsWorkingFilePath(path) || !m->DeleteWorkingFile(path))
        LogMessage("SonicAsset: can't delete '%s'\n", path.c_str());
}

void SonicAsset::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    for (int n = 1; n <= kRequestCount; ++n)
        out.Add("request" + std::to_string(n), GetRequest(n));
}

} // namespace orvik
