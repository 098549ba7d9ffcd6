#include "app/ResourceLibraries.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/Version.h"

#include <cstring>

namespace orvik {

namespace {
ResourceLibraries* current = nullptr;
}

ResourceLibraries::ResourceLibraries() = default;

ResourceLibraries::~ResourceLibraries() {
    if (current == this)
        current = nullptr;
}

ResourceLibraries* ResourceLibraries::Current() { return current; }
void ResourceLibraries::SetCurrent(ResourceLibraries* libraries) { current = libraries; }

std::string ResourceText(uint32_t id) {
    return current ? current->GetProductText(id) : std::string();
}

std::string ResourceLibraries::FileNameOf(const std::string& baseName) {
    return baseName + ResourceLibrary::kExtension;
}

bool ResourceLibraries::LoadOne(const std::string& baseName) {
    std::string fileName = FileNameOf(baseName);
    std::string path = FindResourceLibrary(fileName);
    auto lib = std::make_unique<ResourceLibrary>();
    std::string error = "not found";
    if (!path.empty() && lib->Load(path, &error)) {
        libraries_.push_back(std::move(lib));
        return true;
    }
    LogMessage("ResourceLibraries: cannot load %s: %s\n", fileName.c_str(), error.c_str());
    if (!warned_) {
        warned_ = true;
        // The common library may be the one missing: its texts then read
        // empty and the file name alone still tells what is wrong.
        std::string text = GetProductText(kTextLibraryLoadFailed);
        std::string caption = GetProductText(kTextLibraryLoadCaption);
        if (caption.empty())
            caption = kProductName;
        std::string message = text.empty() ? fileName : text + " " + fileName;
        if (warn_)
            warn_(message, caption);
    }
    return false;
}

bool ResourceLibraries::Load(const std::string& language, int forceResolution, int screenWidth,
                             int screenHeight) {
    if (!libraries_.empty() && language == language_)
        return true;
    Free();
    language_ = language;
    if (!LoadOne("ResCom" + language) || !LoadOne("Res" + std::string("Qx") + language))
        return false;

    int w = screenWidth, h = screenHeight;
    if (forceResolution == 1) {
        w = 800;
        h = 600;
    } else if (forceResolution == 2) {
        w = 1024;
        h = 768;
    } else if (w < 800) {
        w = 800;
        h = 600;
    }
    layoutWidth_ = w;
    layoutHeight_ = h;

    if (!LoadOne("ResComBmp"))
        return false;
    return LoadOne(w > 800 ? "ResCom1024" : "ResCom800");
}

void ResourceLibraries::Free() {
    libraries_.clear();
    language_.clear();
}

std::vector<std::string> ResourceLibraries::LoadedFiles() const {
    std::vector<std::string> out;
    for (auto& lib : libraries_)
        out.push_back(lib->Path());
    return out;
}

std::string ResourceLibraries::GetText(uint32_t id) const {
    for (auto& lib : libraries_)
        if (const std::string* t = lib->Text(id))
            return *t;
    return std::string();
}

std::string ResourceLibraries::GetProductText(uint32_t id) const {
    return SubstituteProductName(GetText(id));
}

const std::vector<uint8_t>* ResourceLibraries::Find(ResourceLibrary::Type type,
                                                    uint32_t number) const {
    for (auto& lib : libraries_)
        if (auto* p = lib->Find(type, number))
            return p;
    return nullptr;
}

const std::vector<uint8_t>* ResourceLibraries::Find(ResourceLibrary::Type type,
                                                    const std::string& name) const {
    for (auto& lib : libraries_)
        if (auto* p = lib->Find(type, name))
            return p;
    return nullptr;
}

const std::vector<uint8_t>* ResourceLibraries::FindBitmap(const std::string& name) const {
    return Find(ResourceLibrary::bitmap, name);
}

const std::vector<uint8_t>* ResourceLibraries::FindBitmap(uint32_t number) const {
    return Find(ResourceLibrary::bitmap, number);
}

const std::vector<uint8_t>* ResourceLibraries::FindData(uint32_t number) const {
    return Find(ResourceLibrary::data, number);
}

const std::vector<uint8_t>* ResourceLibraries::FindPalette() const {
    return Find(ResourceLibrary::palette, std::string("PALETTE"));
}

std::string SubstituteProductName(const std::string& text) {
    static const std::string token = "PRODUCT_TOKEN";
    std::string out = text;
    size_t pos = 0;
    while ((pos = out.find(token, pos)) != std::string::npos) {
        out.replace(pos, token.size(), kProductName);
        pos += strlen(kProductName);
    }
    return out;
}

} // namespace orvik
