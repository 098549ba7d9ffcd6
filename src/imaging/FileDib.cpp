#include "imaging/FileDib.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/Titler.h"
#include "platform/archive/ArchiveException.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(FileDib, Dib, 2)

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

// Opens `path` and leaves it just after the magic of a title image of
// `kind`; false (nothing logged) when it is not one.
bool OpenTitleImage(const std::string& path, File& file, FileDib::TitleImageKind* kind) {
    *kind = FileDib::notTitleImage;
    if (Lower(ExtensionOf(path)) != ".ttr")
        return false;
    if (!file.Open(path, File::readOnly))
        return false;
    char magic[FileDib::kMagicSize];
    size_t n = 0;
    try {
        n = file.Read(magic, sizeof magic);
    } catch (const FileException&) {
        return false;
    }
    if (n != sizeof magic)
        return false;
    if (std::memcmp(magic, FileDib::kMagicWithAlpha, sizeof magic) == 0)
        *kind = FileDib::pictureAndAlpha;
    else if (std::memcmp(magic, FileDib::kMagicPictureOnly, sizeof magic) == 0)
        *kind = FileDib::pictureOnly;
    return *kind != FileDib::notTitleImage;
}

} // namespace

FileDib::TitleImageKind FileDib::GetTitleImageKind(const std::string& path) {
    File file;
    TitleImageKind kind;
    OpenTitleImage(path, file, &kind);
    return kind;
}

bool FileDib::IsPictureExtension(const std::string& extension) {
    std::string e = Lower(extension);
    if (e == ".bmp" || e == ".ttr")
        return true;
    std::string titles = Titler::Instance() ? Lower(ResourceText(Titler::kTextTitleExtension))
                                            : std::string(".xxxxx");
    return !e.empty() && e == titles;
}

int FileDib::LoadFromFile(const std::string& path) {
    Release();
    if (path.empty() || !FileExists(path))
        return 0;
    if (Titler* titler = Titler::Instance()) {
        if (titler->RenderTitle(*this, path, 0, 0, 0))
            return 1;
    }
    File file;
    TitleImageKind kind;
    if (OpenTitleImage(path, file, &kind))
        return Load(file);
    return Dib::LoadFromFile(path);
}

int FileDib::LoadTtrAlpha(const std::string& path) {
    Release();
    File file;
    TitleImageKind kind;
    if (!OpenTitleImage(path, file, &kind))
        return 0;
    if (kind == pictureAndAlpha) {
        if (!SkipInFile(file)) {
            LogMessage("FileDib::LoadTtrAlpha: Can't skip image DIB\n");
            return 0;
        }
        if (!Load(file))
            return 0;
        // The mask is an 8-bit bitmap; a picture of another depth is no
        // mask and would be read as bytes it does not hold.
        if (BitCount() != 8 || !IsUncompressed()) {
            LogMessage("FileDib::LoadTtrAlpha: the alpha is not an 8-bit bitmap\n");
            Release();
            return 0;
        }
        return 1;
    }
    RefPtr<Dib> picture = new Dib;
    if (!picture->Load(file))
        return 0;
    if (!Create(picture->Width(), picture->AbsHeight(), 8))
        return 0;
    SetColorRamp(256, Rgb(0, 0, 0), Rgb(255, 255, 255));
    Set(255);
    return 1;
}

} // namespace orvik
