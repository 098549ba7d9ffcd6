#include "imaging/Titler.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "app/Version.h"
#include "imaging/Dib.h"
#include "imaging/DibScale.h"
#include "imaging/FileDib.h"
#include "model/Asset.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "platform/archive/Archive.h"
#include "platform/archive/ArchiveException.h"
#include "platform/fs/File.h"

#include <atomic>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_DYNAMIC(Titler, PersistentObject, kVersionableSchema | 1)

namespace {

std::atomic<Titler*> instance{nullptr};

// What a graphic clip shows for a title file: the library's title through
// the titler, or a ".ttr" title image.
bool RenderGraphicTitle(Dib& picture, const std::string& path, int width, int height, int bits) {
    Titler* titler = Titler::Instance();
    if (titler && Titler::IsTitleFile(path))
        return titler->RenderTitle(picture, path, width, height, bits) != 0;
    RefPtr<FileDib> file = new FileDib;
    if (!file->LoadFromFile(path))
        return false;
    picture.TakeOver(*file);
    return true;
}

// The folder part of a path, with its separator.
std::string FolderPart(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

} // namespace

Titler::Titler() {
    library_ =
        std::make_unique<VantaUl>(kProductName, nullptr, static_cast<VantaUlCallback*>(this));
    if (SettingsBase* settings = SettingsBase::Current()) {
        tvWidth_ = settings->Number(SettingsBase::Key::mixerVideoWidth);
        tvHeight_ = settings->Number(SettingsBase::Key::mixerVideoHeight);
    }
    if (!library_->SetAspectRatio(4, 3))
        LogLibraryFailure("SetAspectRatio");
    if (!library_->SetFileExtension(ResourceText(kTextTitleExtension),
                                    ResourceText(kTextTitleDescription)))
        LogLibraryFailure("SetFileExtension");
    char operation[64];
    snprintf(operation, sizeof operation, "SetTvSize (%d, %d)", 768, 576);
    if (!library_->SetTvSize(768, 576))
        LogLibraryFailure(operation);
    snprintf(operation, sizeof operation, "SetTvSize (%d, %d)", tvWidth_, tvHeight_);
    if (!library_->SetTvSize(tvWidth_, tvHeight_))
        LogLibraryFailure(operation);
    image_ = new Dib;
    instance = this;
    GraphicAsset::SetTitleRenderer(&RenderGraphicTitle);
}

Titler::~Titler() {
    Titler* self = this;
    if (instance.compare_exchange_strong(self, nullptr))
        GraphicAsset::SetTitleRenderer(nullptr);
}

Titler* Titler::Instance() {
    return instance;
}

void Titler::LogLibraryFailure(const char* operation) {
    LogMessage("Vanta::%s: %s\n", operation, library_->GetErrorString().c_str());
}

bool Titler::IsTitleFile(const std::string& path) {
    if (path.empty())
        return false;
    File file;
    if (!file.Open(path, File::readOnly))
        return false;
    uint8_t magic[4];
    try {
        if (file.Read(magic, sizeof magic) != sizeof magic)
            return false;
    } catch (const FileException&) {
        return false;
    }
    return std::memcmp(magic, kMagic, sizeof magic) == 0;
}

std::string Titler::MakeTitleName(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    std::string name =
        first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    for (char& c : name) {
        switch (c) {
        case ':':
        case '/':
        case '|':
        case '\\':
            c = '-';
            break;
        case '?':
            c = ' ';
            break;
        case '*':
            c = '_';
            break;
        case '"':
            c = '\'';
            break;
        default:
            break;
        }
    }
    if (name.empty())
        name = ResourceText(kTextUntitled);
    SettingsBase* settings = SettingsBase::Current();
    std::string folder = settings ? FolderPart(settings->GetGraphicFile()) : std::string();
    return folder + name;
}

void Titler::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.Write(kMagic, sizeof kMagic);
        ar.WriteDword(kSchema);
        ar.WriteDword(keepPath_);
        ar.WriteDword(hasImage_);
        ar.WriteText(text_);
        ar.WriteCount(static_cast<uint32_t>(privateData_.size()));
        ar.Write(privateData_.data(), privateData_.size());
        if (hasImage_)
            image_->Serialize(ar);
        return;
    }
    // Read into temporaries: a damaged file leaves the title as it was.
    uint8_t magic[4];
    ar.Read(magic, sizeof magic);
    if (std::memcmp(magic, kMagic, sizeof magic) != 0)
        throw ArchiveException(ArchiveException::badClass, "not a title file");
    if (ar.ReadDword() != kSchema)
        throw ArchiveException(ArchiveException::badSchema, "title file schema");
    uint32_t keep = ar.ReadDword();
    uint32_t hasImage = ar.ReadDword();
    if (hasImage > 1)
        throw ArchiveException(ArchiveException::generic, "title file image flag");
    std::string text = ar.ReadText();
    uint32_t count = ar.ReadCount();
    ar.RequireBytes(count);
    std::vector<uint8_t> data(count);
    ar.Read(data.data(), count);
    RefPtr<Dib> image = new Dib;
    if (hasImage) {
        image->Serialize(ar);
        // The thumbnail carries the title's alpha in its fourth byte.
        if (image->BitCount() != 32 || image->Width() <= 0)
            throw ArchiveException(ArchiveException::generic, "title thumbnail is not 32-bit");
    }
    keepPath_ = keep;
    hasImage_ = hasImage;
    text_ = std::move(text);
    privateData_ = std::move(data);
    image_ = image;
}

int Titler::LoadTitle(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    currentPath_.clear();
    File file;
    if (path.empty() || !file.Open(path, File::readOnly)) {
        LogMessage("Titler::LoadFromFile can't open file\n");
        return 0;
    }
    // What the library holds now, given back when it refuses the new title.
    std::string oldText = text_;
    std::vector<uint8_t> oldData = privateData_;
    RefPtr<Dib> oldImage = image_;
    uint32_t oldHasImage = hasImage_, oldKeepPath = keepPath_;
    try {
        uint8_t magic[4];
        if (file.Read(magic, sizeof magic) != sizeof magic ||
            std::memcmp(magic, kMagic, sizeof magic) != 0)
            return 0;
        file.Seek(0);
        Archive ar(file, Archive::load);
        Serialize(ar);
    } catch (const ArchiveException& e) {
        LogMessage("Titler::LoadFromFile: %s\n", e.what());
        return 0;
    } catch (const FileException& e) {
        LogMessage("Titler::LoadFromFile: %s\n", e.what());
        return 0;
    }
    currentPath_ = path;
    library_->SetFilename(std::string());
    if (!library_->SetPrivateData(privateData_.empty() ? nullptr : privateData_.data(),
                                  privateData_.size())) {
        LogLibraryFailure("SetPrivateData");
        // The library did not take this title: the fields go back to the
        // title it still holds, and a later render of this file must not
        // take that title for this file's.
        text_ = std::move(oldText);
        privateData_ = std::move(oldData);
        image_ = oldImage;
        hasImage_ = oldHasImage;
        keepPath_ = oldKeepPath;
        currentPath_.clear();
        return 0;
    }
    return 1;
}

int Titler::SaveTitle(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const uint8_t* data = library_->GetPrivateData();
    uint32_t size = library_->GetPrivateDataSize();
    privateData_.assign(data, data + size);
    text_ = library_->GetTextString();
    hasImage_ = 0;
    RefPtr<Dib> thumbnail = new Dib;
    if (RenderLocked(*thumbnail, imageWidth_, imageHeight_, 32)) {
        RefPtr<Dib> image = new Dib;
        if (image->Create(imageWidth_, imageHeight_, 32) && image->Copy(*thumbnail)) {
            image_ = image;
            hasImage_ = 1;
        }
    }
    SafeFile file;
    std::string error;
    if (path.empty() || !file.Open(path, &error)) {
        LogMessage("Titler::SaveTitle can't create file: %s\n", error.c_str());
        return 0;
    }
    try {
        Archive ar(file, Archive::store);
        Serialize(ar);
        ar.Close();
    } catch (const FileException& e) {
        LogMessage("Titler::SaveTitle: %s\n", e.what());
        file.Abort();
        return 0;
    }
    if (!file.Commit(&error)) {
        LogMessage("Titler::SaveTitle can't save file: %s\n", error.c_str());
        return 0;
    }
    currentPath_ = path;
    return 1;
}

void Titler::SetCurrentPath(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    currentPath_ = path;
    library_->SetFilename(path);
}

int Titler::LibraryRender(Dib& dib, int width, int height, bool alpha) {
    const uint8_t* packed = library_->Render(width, height);
    if (!packed) {
        LogLibraryFailure("Render");
        return 0;
    }
    RefPtr<Dib> rendered = new Dib;
    rendered->Attach(reinterpret_cast<BitmapInfoHeader*>(const_cast<uint8_t*>(packed)), nullptr);
    int ok = alpha ? dib.ExtractAlpha(*rendered) : dib.Copy(*rendered);
    rendered->Release();
    return ok ? 1 : 0;
}

int Titler::RenderLocked(Dib& dib, int width, int height, int bitCount) {
    if (width == 0)
        width = tvWidth_;
    if (height == 0)
        height = tvHeight_;
    if (bitCount == 0)
        bitCount = 24;
    if (!dib.Create(width, height, bitCount))
        return 0;
    if (hasImage_ && image_ && !image_->IsEmpty()) {
        if (image_->Width() == width && image_->AbsHeight() == height)
            return dib.Copy(*image_) ? 1 : 0;
        if (image_->Width() >= width / 2 && image_->AbsHeight() >= height / 2) {
            // Scaled at the thumbnail's depth, then converted.
            RefPtr<Dib> scaled = new Dib;
            if (!scaled->Create(width, height, image_->BitCount()))
                return 0;
            DibScale(*scaled, *image_, 1);
            return dib.Copy(*scaled) ? 1 : 0;
        }
    }
    return LibraryRender(dib, width, height, false);
}

int Titler::RenderAlphaLocked(Dib& dib, int width, int height) {
    if (width == 0)
        width = tvWidth_;
    if (height == 0)
        height = tvHeight_;
    if (!dib.Create(width, height, 8))
        return 0;
    dib.SetColorRamp(256, Rgb(0, 0, 0), Rgb(255, 255, 255));
    if (hasImage_ && image_ && !image_->IsEmpty()) {
        if (image_->Width() == width && image_->AbsHeight() == height)
            return dib.ExtractAlpha(*image_) ? 1 : 0;
        if (image_->Width() >= width && image_->AbsHeight() >= height) {
            RefPtr<Dib> alpha = new Dib;
            if (!alpha->Create(image_->Width(), image_->AbsHeight(), 8) ||
                !alpha->ExtractAlpha(*image_))
                return 0;
            DibScale(dib, *alpha, 1);
            return 1;
        }
    }
    return LibraryRender(dib, width, height, true);
}

int Titler::RenderTitle(Dib& dib, const std::string& path, int width, int height, int bitCount) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (path != currentPath_ && !LoadTitle(path))
        return 0;
    return RenderLocked(dib, width, height, bitCount);
}

int Titler::RenderTitleAlpha(Dib& dib, const std::string& path, int width, int height) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (path != currentPath_ && !LoadTitle(path))
        return 0;
    return RenderAlphaLocked(dib, width, height);
}

void Titler::SetBackgroundSource(int32_t track, Time time) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    backgroundTrack_ = track;
    backgroundTime_ = time;
}

void Titler::SetFrameSource(FrameSource source) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    frameSource_ = std::move(source);
}

void Titler::SetLibraryBackground() {
    Clip* clip = nullptr;
    Movie* movie = Movie::Current();
    if (backgroundTrack_ == 1 && movie && movie->GetClipList()) {
        for (auto& c : movie->GetClipList()->GetClips()) {
            if (c->GetTrack() == 0 && !c->IsTransition() && c->GetStart() <= backgroundTime_ &&
                backgroundTime_ < c->GetEnd()) {
                clip = c.get();
                break;
            }
        }
    }
    if (clip && clip->GetAsset()) {
        RefPtr<Dib> frame = new Dib;
        Time offset = backgroundTime_ - clip->GetStart();
        bool ok = frame->Create(imageWidth_, imageHeight_, 24);
        if (ok) {
            frame->Set(0);
            ok = frameSource_ ? frameSource_(*frame, *clip, offset)
                              : clip->GetAsset()->CreatePicon(frame.get(), clip, offset) != 0;
        }
        if (ok && frame->BitCount() == 24 && !frame->IsEmpty()) {
            size_t size = static_cast<size_t>(frame->HeaderSize()) + frame->ImageSize();
            if (!library_->SetBackground(reinterpret_cast<const uint8_t*>(frame->Header()), size))
                LogLibraryFailure("SetBackground");
            return;
        }
    }
    library_->SetBackground(nullptr, 0);
}

std::string Titler::ComposeAndSave() {
    savedByLibrary_ = false;
    int composed = library_->Compose();
    if (!composed)
        return std::string();
    AssetManager* assets = AssetManager::Instance();
    if (!assets) {
        LogMessage("Titler::Compose: no working-file folder\n");
        return std::string();
    }
    // The working file takes the title file extension.
    std::string path =
        assets->NewWorkingFileName(assets->Folder(), "title" + ResourceText(kTextTitleExtension));
    return SaveTitle(path) ? path : std::string();
}

std::string Titler::NewTitle() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    SetLibraryBackground();
    text_.clear();
    privateData_.clear();
    hasImage_ = 0;
    image_ = new Dib;
    if (!library_->SetPrivateData(nullptr, 0))
        LogLibraryFailure("SetPrivateData");
    SetCurrentPath(std::string());
    return ComposeAndSave();
}

std::string Titler::EditTitle(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    SetLibraryBackground();
    if (!LoadTitle(path))
        return std::string();
    return ComposeAndSave();
}

std::string Titler::GetText() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return text_;
}

std::string Titler::GetCurrentPath() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return currentPath_;
}

std::string Titler::GetSavedName() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return savedName_;
}

bool Titler::SavedByLibrary() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return savedByLibrary_;
}

bool Titler::HasImage() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return hasImage_ != 0;
}

int Titler::Query(int) {
    return 1;
}

int Titler::Grab() {
    LogMessage("Titler::Grab invoked\n");
    return 0;
}

int Titler::Open(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int result = LoadTitle(path);
    if (result)
        SetCurrentPath(path);
    return result;
}

int Titler::Save(const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int result = SaveTitle(path);
    if (result) {
        SetCurrentPath(path);
        savedName_ = path;
        savedByLibrary_ = true;
    }
    return result;
}

std::string Titler::Name() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    savedName_ = currentPath_;
    std::string text = library_->GetTextString();
    if (currentPath_.empty() || keepPath_ == 0) {
        // An empty text still names the title "Untitled".
        std::string name = MakeTitleName(text);
        if (!name.empty())
            savedName_ = name;
    }
    return savedName_;
}

bool Titler::DibIsLibraryTitle(const std::string& path) {
    return Instance() && IsTitleFile(path);
}

int Titler::DibLoadTitle(Dib& dib, const std::string& path, int width, int height, int bitCount) {
    Titler* titler = Instance();
    if (!titler) {
        LogMessage("Dib::LoadTitle: no titler\n");
        return 0;
    }
    return titler->RenderTitle(dib, path, width, height, bitCount);
}

int Titler::DibLoadTitleAlpha(Dib& dib, const std::string& path, int width, int height) {
    Titler* titler = Instance();
    if (!titler) {
        LogMessage("Dib::LoadTitleAlpha: no titler\n");
        return 0;
    }
    return titler->RenderTitleAlpha(dib, path, width, height);
}

bool Titler::DibIsTitle(const std::string& path) {
    return DibIsLibraryTitle(path) || FileDib::GetTitleImageKind(path) != FileDib::notTitleImage;
}

int Titler::DibLoadAlpha(Dib& dib, const std::string& path) {
    if (DibIsLibraryTitle(path))
        return Instance()->RenderTitleAlpha(dib, path, 0, 0);
    RefPtr<FileDib> file = new FileDib;
    if (!file->LoadTtrAlpha(path))
        return 0;
    dib.TakeOver(*file);
    return 1;
}

} // namespace orvik
