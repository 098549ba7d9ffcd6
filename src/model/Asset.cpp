#include "model/Asset.h"

#include "app/DiagnosticsLog.h"
#include "model/AssetManager.h"
#include "platform/archive/Archive.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <algorithm>
#include <vector>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Asset, RefObject, kVersionableSchema | 1)

namespace {

// The largest working file a project can embed: its length must stay below
// the in-place marker.
constexpr uint64_t kMaxEmbedded = Asset::kWorkingFileInPlace - 1;

} // namespace

std::string FileTitleWithoutExtension(const std::string& path) {
    std::string name = FileNameOf(path);
    std::string ext = ExtensionOf(name);
    return name.substr(0, name.size() - ext.size());
}

Asset::Asset() = default;

Asset::Asset(const std::string& fileName, Time start, Time duration)
    : fileName_(fileName), start_(start), duration_(duration) {}

Asset::Asset(const Asset& other)
    : RefObject(other), fileName_(other.fileName_), start_(other.start_),
      duration_(other.duration_), isWorkingFile_(other.isWorkingFile_) {
    // A copy shares the working file: it is one more user of it.
    if (isWorkingFile_)
        if (AssetManager* m = AssetManager::Instance())
            m->AddUser(fileName_);
}

Asset::~Asset() {
    if (isWorkingFile_ && !AssetManager::IsClosing())
        if (AssetManager* m = AssetManager::Instance())
            m->ReleaseUser(fileName_);
}

RefObject* Asset::Clone() const { return new Asset(*this); }

void Asset::SetFile(const std::string& path, bool working) {
    AssetManager* m = AssetManager::Instance();
    bool wasWorking = isWorkingFile_;
    std::string old = fileName_;
    fileName_ = path;
    isWorkingFile_ = working;
    if (m && working)
        m->AddUser(path);
    if (m && wasWorking)
        m->ReleaseUser(old);
}

void Asset::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(fileName_);
        ar.WriteInt32(start_);
        ar.WriteInt32(duration_);
        StoreWorkingFile(ar);
    } else {
        SetFile(ar.ReadText(), false);
        start_ = ar.ReadInt32();
        duration_ = ar.ReadInt32();
        LoadWorkingFile(ar);
    }
    if (!isWorkingFile_ && fileName_.find('_') != std::string::npos)
        LogMessage("Asset::Serialize nwf: %s\n", fileName_.c_str());
}

void Asset::StoreWorkingFile(Archive& ar) {
    if (ar.GetPurpose() != Archive::projectSave) {
        ar.WriteDword(isWorkingFile_ ? kWorkingFileInPlace : 0);
        return;
    }
    if (!isWorkingFile_) {
        if (fileName_.find('_') != std::string::npos)
            LogMessage("Asset::StoreWorkingFile oops: %s\n", fileName_.c_str());
        ar.WriteDword(0);
        return;
    }
    // A project carries its working files inside it. A file that cannot be
    // read whole fails the save: the project would otherwise lose it.
    File f;
    std::string error;
    if (!f.Open(fileName_, File::readOnly, &error)) {
        LogMessage("Asset::StoreWorkingFile: cannot open %s: %s\n", fileName_.c_str(),
                   error.c_str());
        throw FileException(fileName_, 0, "cannot read the working file " + fileName_);
    }
    uint64_t length = f.GetLength();
    if (length == 0) {
        LogMessage("Asset::StoreWorkingFile length 0: %s\n", fileName_.c_str());
        ar.WriteDword(0);
        return;
    }
    if (length > kMaxEmbedded) {
        LogMessage("Asset::StoreWorkingFile: %s is too large to embed\n", fileName_.c_str());
        throw FileException(fileName_, 0, "the working file " + fileName_ + " is too large");
    }
    ar.WriteDword(static_cast<uint32_t>(length));
    ar.WriteText(fileName_);
    std::vector<uint8_t> block(1 << 20);
    uint64_t done = 0;
    while (done < length) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), length - done));
        size_t got = f.Read(block.data(), want);
        if (got != want) {
            LogMessage("Asset::StoreWorkingFile: read %d, got %d\n", static_cast<int>(length),
                       static_cast<int>(done + got));
            throw FileException(fileName_, 0, "the working file " + fileName_ + " changed while saving");
        }
        ar.Write(block.data(), got);
        done += got;
    }
}

void Asset::LoadWorkingFile(Archive& ar) {
    uint32_t marker = ar.ReadDword();
    if (marker == 0) {
        SetFile(fileName_, false);
        return;
    }
    if (marker == kWorkingFileInPlace) {
        if (ar.GetPurpose() == Archive::ownMemory) {
            // Our own undo record or clipboard: the file is still in place.
            SetFile(fileName_, true);
            return;
        }
        // A file on disk naming a working file "in place" would make us
        // delete a file we never made: use the name as a plain file.
        LogMessage("Asset::LoadWorkingFile: not a working file here: %s\n", fileName_.c_str());
        SetFile(fileName_, false);
        return;
    }
    std::string storedName = ar.ReadText();
    std::string path;
    if (AssetManager* m = AssetManager::Instance()) {
        path = m->CreateWorkingFileFrom(storedName, ar, marker);
        m->Unpend(fileName_);
    } else {
        LogMessage("Asset::LoadWorkingFile: no asset manager for %s\n", storedName.c_str());
        ar.RequireBytes(marker);
        std::vector<uint8_t> skip(std::min<uint32_t>(marker, 1u << 20));
        for (uint32_t left = marker; left > 0;) {
            uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(skip.size()));
            ar.Read(skip.data(), n);
            left -= n;
        }
    }
    if (path.empty())
        SetFile(std::string(), false);
    else
        SetWorkingFileName(path);
}

bool Asset::IsEqual(const Asset* other) const {
    return other && GetKind() == other->GetKind() && GetFileName() == other->GetFileName() &&
           start_ == other->start_ && duration_ == other->duration_;
}

void Asset::SetFileName(const std::string& path) { SetFile(path, isWorkingFile_); }

int Asset::CreatePicon(Dib*, Clip*, Time) {
    LogMessage("%s: missing CreatePicon\n", GetRuntimeClass()->className);
    return 0;
}

std::string Asset::GetKindName(const Clip*) const { return std::string(); }

std::string Asset::GetLabel(const Clip*) const {
    std::string name = GetName();
    std::string title = FileTitleWithoutExtension(GetFileName());
    if (!name.empty() && name != title)
        return name + " [" + title + "]";
    return isWorkingFile_ ? std::string() : title;
}

void Asset::SetWorkingFileName(const std::string& path) { SetFile(path, !path.empty()); }

std::string Asset::GetWorkingFileName() const {
    return isWorkingFile_ ? fileName_ : std::string();
}

MediaFile* Asset::GetAudioFile() { return nullptr; }
MediaFile* Asset::GetVideoFile() { return nullptr; }

void Asset::AdjustToClip(Time, Time) {}

void Asset::SetRenderedFileName(const std::string&) {
    LogMessage("Asset::SetRenderedFileName: unexpected call!\n");
}

std::string Asset::GetText(const Clip*) const { return std::string(); }

void Asset::ListFields(FieldList& out) const {
    out.Add("fileName", fileName_);
    out.Add("start", int64_t{start_});
    out.Add("duration", int64_t{duration_});
    out.Add("workingFile", int64_t{isWorkingFile_ ? 1 : 0});
}

} // namespace orvik
