#include "model/CompoundAsset.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "platform/archive/Archive.h"

#include "platform/fs/Places.h"

#include <cstdio>
#include <set>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(CompoundAsset, Scene, kVersionableSchema | 1)

namespace {
GroupRenderer::Factory rendererFactory;

bool ContainsIn(const ClipList* list, const Asset* asset, std::set<const ClipList*>& seen) {
    if (!list || !seen.insert(list).second)
        return false;
    for (auto& clip : list->GetClips()) {
        const Asset* a = clip->GetAsset();
        if (a == asset)
            return true;
        if (auto* group = DynamicCast<const CompoundAsset>(a))
            if (ContainsIn(group->GetClips(), asset, seen))
                return true;
    }
    return false;
}
} // namespace

void GroupRenderer::SetFactory(Factory factory) { rendererFactory = std::move(factory); }

std::unique_ptr<GroupRenderer> GroupRenderer::Make() {
    return rendererFactory ? rendererFactory() : nullptr;
}

CompoundAsset::CompoundAsset() : clips_(new ClipList) {}

CompoundAsset::CompoundAsset(ClipList* clips) : clips_(clips ? clips : new ClipList) {
    duration_ = clips_->GetEnd();
}

CompoundAsset::CompoundAsset(const CompoundAsset& other)
    : Scene(other), clips_(other.clips_ ? other.clips_->CloneList() : new ClipList) {}

CompoundAsset::~CompoundAsset() { CancelRender(); }

RefObject* CompoundAsset::Clone() const { return new CompoundAsset(*this); }

void CompoundAsset::SetClips(ClipList* clips) {
    clips_ = clips ? clips : new ClipList;
    duration_ = clips_->GetEnd();
}

bool CompoundAsset::Contains(const Asset* asset) const {
    std::set<const ClipList*> seen;
    return ContainsIn(clips_.get(), asset, seen);
}

void CompoundAsset::Serialize(Archive& ar) {
    Scene::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteObject(clips_.get());
        return;
    }
    RefPtr<ClipList> list = ar.ReadObjectOf<ClipList>();
    clips_ = list ? list : RefPtr<ClipList>(new ClipList);
    // A group that holds itself would play forever and never be freed.
    if (Contains(this)) {
        clips_ = new ClipList;
        throw ArchiveException(ArchiveException::badClass, "a group of clips that holds itself");
    }
}

bool CompoundAsset::IsEqual(const Asset* other) const {
    auto* group = DynamicCast<const CompoundAsset>(other);
    return Asset::IsEqual(other) && group && clips_->IsSameAs(group->clips_.get());
}

void CompoundAsset::DeleteRenderedFile() {
    Refresh();
    std::string name = GetFileName();
    if (!name.empty()) {
        AssetManager* m = AssetManager::Instance();
        if (m && m->IsWorkingFilePath(name) && !m->DeleteWorkingFile(name))
            LogMessage("CompoundAsset: can't delete '%s'\n", name.c_str());
    }
    SetWorkingFileName(std::string());
    SetFileName(std::string());
}

bool CompoundAsset::Render() {
    DeleteRenderedFile();
    AssetManager* m = AssetManager::Instance();
    if (!m)
        return false;
    std::string path = m->NewCaptureWorkingFileName(ResourceText(kTextVideoExtension).empty()
                                                        ? std::string(".avi")
                                                        : ResourceText(kTextVideoExtension));
    SetFileName(path);
    maker_.reset();
    maker_ = GroupRenderer::Make();
    if (!maker_) {
        LogMessage("CompoundAsset::Render: no file maker\n");
        return false;
    }
    return maker_->Start(path, *clips_, clips_->GetEnd());
}

bool CompoundAsset::PollRender() {
    if (!maker_)
        return false;
    if (maker_->IsRunning())
        return true;
    maker_->Finish();
    maker_.reset();
    return false;
}

void CompoundAsset::CancelRender() {
    if (!maker_)
        return;
    maker_->Stop();
    maker_.reset();
    std::string name = GetFileName();
    if (AssetManager* m = AssetManager::Instance())
        if (!name.empty() && m->IsWorkingFilePath(name))
            m->DeleteWorkingFile(name);
}

Time CompoundAsset::GetRenderProgress() {
    if (maker_)
        return maker_->Progress();
    std::string name = GetFileName();
    return !name.empty() && FileExists(name) ? duration_ : 0;
}

void CompoundAsset::ListFields(FieldList& out) const {
    Scene::ListFields(out);
    out.Add("clips", int64_t{clips_ ? clips_->GetCount() : 0});
}

} // namespace orvik
