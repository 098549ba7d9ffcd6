#include "model/CdAsset.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/Version.h"
#include "media/MediaFiles.h"
#include "model/AssetManager.h"
#include "model/AssetText.h"
#include "platform/archive/Archive.h"
#include "platform/gui/UserInterface.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(CdAsset, Asset, kVersionableSchema | 1)

namespace {
CdAsset::InsertedCd insertedCd;
}

void CdAsset::SetInsertedCdProbe(InsertedCd probe) { insertedCd = std::move(probe); }

CdAsset::CdAsset(const std::string& cdName, int32_t trackNumber, const std::string& trackText,
                 Time start, Time duration)
    : Asset(std::string(), start, duration), trackNumber_(trackNumber), trackText_(trackText),
      cdName_(cdName) {}

CdAsset::CdAsset(const CdAsset& other)
    : Asset(other), trackNumber_(other.trackNumber_), trackText_(other.trackText_),
      cdName_(other.cdName_), reserved_(other.reserved_) {}

CdAsset::~CdAsset() { DeleteRenderedFile(); }

void CdAsset::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteText(cdName_);
        ar.WriteInt32(trackNumber_);
        ar.WriteText(trackText_);
    } else {
        cdName_ = ar.ReadText();
        trackNumber_ = ar.ReadInt32();
        trackText_ = ar.ReadText();
    }
}

bool CdAsset::IsEqual(const Asset* other) const {
    auto* cd = DynamicCast<const CdAsset>(other);
    return Asset::IsEqual(other) && cd && cd->cdName_ == cdName_ &&
           cd->trackNumber_ == trackNumber_;
}

std::string CdAsset::GetKindName(const Clip*) const { return ResourceText(50400); }

std::string CdAsset::GetText(const Clip* clip) const { return SoundText(clip, *this); }

void CdAsset::Refresh() {
    renderedMedia_ = nullptr;
}

void CdAsset::SetRenderedFileName(const std::string& path) {
    if (path != renderedFile_)
        Refresh();
    renderedFile_ = path;
}

MediaFile* CdAsset::GetAudioFile() {
    if (renderedFile_.empty())
        return nullptr;
    if (!renderedMedia_ || !renderedMedia_->IsValid())
        renderedMedia_ = OpenMediaFile(renderedFile_, 1, 0);
    return renderedMedia_ && renderedMedia_->IsOpen() ? renderedMedia_.get() : nullptr;
}

void CdAsset::DeleteRenderedFile() {
    Refresh();
    if (renderedFile_.empty())
        return;
    // Only files the program recorded itself are ever deleted.
    AssetManager* m = AssetManager::Instance();
    if (m && m->IsWorkingFilePath(renderedFile_)) {
        if (!m->DeleteWorkingFile(renderedFile_))
            LogMessage("SonicAsset: can't delete '%s'\n", renderedFile_.c_str());
    }
    renderedFile_.clear();
}

void CdAsset::AdjustToClip(Time, Time) { DeleteRenderedFile(); }

bool CdAsset::EnsureCdInserted() {
    if (!insertedCd) {
        LogMessage("CdAsset::EnsureCdInserted: no CD audio service to find '%s'\n",
                   cdName_.c_str());
        return false;
    }
    for (;;) {
        if (insertedCd() == cdName_)
            return true;
        std::string text = FillText(ResourceText(50399), {GetFileName().empty() ? cdName_
                                                                                : GetFileName()});
        if (UserInterface::Current().MessageBox(text, kProductName, UserInterface::okCancel,
                                                UserInterface::warning) != UserInterface::answerOk)
            return false;
    }
}

void CdAsset::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    out.Add("cdName", cdName_);
    out.Add("trackNumber", int64_t{trackNumber_});
    out.Add("trackText", trackText_);
}

} // namespace orvik
