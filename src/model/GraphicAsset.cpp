#include "model/GraphicAsset.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/DibScale.h"
#include "model/Clip.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"
#include "platform/fs/Places.h"

#include <algorithm>
#include <cctype>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(GraphicAsset, Asset, kVersionableSchema | 1)

namespace {
GraphicAsset::TitleRenderer titleRenderer;
}

void GraphicAsset::SetTitleRenderer(TitleRenderer renderer) {
    titleRenderer = std::move(renderer);
}

GraphicAsset::GraphicAsset(const std::string& fileName, Time duration, int32_t resourceId)
    : Asset(fileName, 0, duration), resourceId_(resourceId) {}

RefObject* GraphicAsset::Clone() const { return new GraphicAsset(*this); }

void GraphicAsset::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring())
        ar.WriteInt32(resourceId_);
    else
        resourceId_ = ar.ReadInt32();
}

bool GraphicAsset::IsTitleFile(const std::string& path) {
    std::string ext = ExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    std::string title = ResourceText(50298);
    std::transform(title.begin(), title.end(), title.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return !ext.empty() && (ext == ".ttr" || (!title.empty() && ext == title));
}

RefPtr<Dib> GraphicAsset::GetPicture(int width, int height, int bits) {
    if (bits == 0)
        bits = 24;
    if (picture_ && picture_->Width() == width && picture_->AbsHeight() == height &&
        picture_->BitCount() == bits)
        return picture_;
    RefPtr<Dib> loaded = new Dib;
    bool ok = false;
    bool logged = false;
    if (resourceId_ != 0) {
        ok = loaded->LoadResource(static_cast<uint32_t>(resourceId_)) != 0;
    } else if (!IsTitleFile(GetFileName())) {
        ok = loaded->LoadFromFile(GetFileName()) != 0;
    } else if (titleRenderer) {
        ok = titleRenderer(*loaded, GetFileName(), width, height, bits);
    } else {
        LogMessage("GraphicAsset::GetDib: can't load %s: no titling library\n",
                   GetFileName().c_str());
        logged = true;
    }
    RefPtr<Dib> result = new Dib;
    if (!ok || loaded->Width() <= 0 || loaded->AbsHeight() <= 0) {
        if (!logged)
            LogMessage("GraphicAsset::GetDib: can't load %s\n", GetFileName().c_str());
        if (!result->Create(width, height, bits))
            return nullptr;
        result->Set(0xFFFFFF);
        picture_ = result;
        return result;
    }
    if (loaded->BitCount() != 24) {
        RefPtr<Dib> rgb = new Dib;
        if (!rgb->Create(loaded->Width(), loaded->AbsHeight(), 24) || !rgb->Copy(*loaded))
            return nullptr;
        loaded = rgb;
    }
    int w = loaded->Width(), h = loaded->AbsHeight();
    if (w != width || h != height) {
        if (h * 4 != w * 3) {
            // Centred on a 4:3 canvas of the picture's own corner colour.
            int cw = w, ch = h;
            if (w < h * 4 / 3)
                cw = h * 4 / 3;
            else
                ch = w * 3 / 4;
            RefPtr<Dib> canvas = new Dib;
            if (!canvas->Create(cw, ch, 24))
                return nullptr;
            canvas->Set(loaded->GetPixel(0, 0));
            Rect at((cw - w) / 2, (ch - h) / 2, (cw - w) / 2 + w, (ch - h) / 2 + h);
            canvas->Copy(*loaded, &at);
            loaded = canvas;
        }
        RefPtr<Dib> scaled = new Dib;
        if (!scaled->Create(width, height, 24))
            return nullptr;
        DibScale(*scaled, *loaded, 1);
        loaded = scaled;
    }
    if (bits != 24) {
        if (!result->Create(width, height, bits) || !result->Copy(*loaded))
            return nullptr;
        loaded = result;
    }
    picture_ = loaded;
    return loaded;
}

int GraphicAsset::CreatePicon(Dib* picture, Clip*, Time) {
    if (!picture || picture->Width() <= 0)
        return 0;
    RefPtr<Dib> p = GetPicture(picture->Width(), picture->AbsHeight(), 24);
    if (!p)
        return 0;
    return picture->Copy(*p) ? 1 : 0;
}

std::string GraphicAsset::GetKindName(const Clip* clip) const {
    bool onVideo = clip && clip->GetTrack() == 0;
    if (IsTitleFile(GetFileName()))
        return ResourceText(onVideo ? 50315 : 50316);
    return ResourceText(onVideo ? 50317 : 50318);
}

std::string GraphicAsset::GetText(const Clip* clip) const {
    if (!clip)
        return std::string();
    return std::string(clip->GetTrack() == 1 ? "    " : "") + clip->GetCaption() + "\t\t" +
           Timecode::Format(clip->GetDuration()) + "\t" + Timecode::Format(clip->GetStart());
}

void GraphicAsset::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    out.Add("resourceId", int64_t{GetResourceId()});
}

} // namespace orvik
