#include "imaging/wipes/BitmapWipe.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/DibScale.h"
#include "platform/archive/Archive.h"
#include "platform/fs/Places.h"

#include <filesystem>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(BitmapWipe, Wipe, kVersionableSchema | 1)

namespace {

std::mutex folderLock;
std::string wipeFolder;

// Reads a picture file, quietly when there is none. Only plain files: a
// project may name a device or a pipe.
bool LoadPicture(Dib& picture, const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) &&
           picture.LoadFromFile(path);
}

} // namespace

BitmapWipe::BitmapWipe(const BitmapWipe& other)
    : Wipe(other), path_(other.GetPath()), resourceNumber_(other.resourceNumber_) {}

std::string BitmapWipe::GetPath() const {
    std::lock_guard<std::mutex> hold(pathLock_);
    return path_;
}

std::string BitmapWipe::WipeFolder() {
    std::lock_guard<std::mutex> hold(folderLock);
    return wipeFolder.empty() ? JoinPath(Places::ProgramFolder(), "Wipes") : wipeFolder;
}

void BitmapWipe::SetWipeFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(folderLock);
    wipeFolder = folder;
}

void BitmapWipe::SerializeOwn(Archive& ar) {
    std::lock_guard<std::mutex> hold(pathLock_);
    if (ar.IsStoring()) {
        ar.WriteText(path_);
        ar.WriteInt32(resourceNumber_);
    } else {
        path_ = ar.ReadText();
        resourceNumber_ = ar.ReadInt32();
    }
}

std::string BitmapWipe::GetName() const {
    std::string name = GetEffectNumber() > 0 ? ResourceText(GetEffectNumber()) : std::string();
    if (!name.empty())
        return name;
    std::string title = FileTitleWithoutExtension(GetPath());
    size_t mark = title.find('_');
    return mark == std::string::npos ? title : title.substr(mark + 1);
}

int BitmapWipe::CreateAlphaDib(Dib& image) {
    RefPtr<Dib> picture = new Dib;
    bool fromFile = false;
    if (resourceNumber_ != 0) {
        const ResourceLibraries* libs = Dib::GetResourceLibraries();
        if (!libs)
            libs = ResourceLibraries::Current();
        const uint32_t number = static_cast<uint32_t>(resourceNumber_);
        if (!libs || !libs->FindBitmap(number) || !picture->LoadResource(number)) {
            LogMessage("BitmapWipe::Can't load resource %d\n", resourceNumber_);
            return 0;
        }
    } else {
        std::string path = GetPath();
        if (!LoadPicture(*picture, path)) {
            // The project may come from another machine: the wipe folder of
            // this one may hold the same picture.
            std::string local = JoinPath(WipeFolder(), FileNameOf(path));
            if (FileNameOf(path).empty() || !LoadPicture(*picture, local)) {
                LogMessage("BitmapWipe::Can't load file %s\n", path.c_str());
                return 0;
            }
            std::lock_guard<std::mutex> hold(pathLock_);
            path_ = local;
        }
        fromFile = true;
    }
    // The scaler maps 4- to 24-bit pictures to grey; others go through 24 bits.
    const int bits = picture->BitCount();
    if (bits != 4 && bits != 8 && bits != 16 && bits != 24) {
        RefPtr<Dib> wide = new Dib;
        if (!wide->Create(picture->Width(), picture->AbsHeight(), 24) || !wide->Copy(*picture)) {
            LogMessage("BitmapWipe::Can't convert the picture\n");
            return 0;
        }
        picture = wide;
    }
    DibScale scale(image, *picture, 1);
    if (scale.ModeUsed() < 0)
        return 0;
    if (fromFile)
        image.Invert();
    return 1;
}

void BitmapWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("path", GetPath());
    out.Add("resourceNumber", int64_t{resourceNumber_});
}

} // namespace orvik
