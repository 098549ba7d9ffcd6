#include "model/Movie.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "app/Version.h"
#include "edit/VolumeList.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/MovieView.h"
#include "model/Scene.h"
#include "model/SourceTape.h"
#include "model/TapeSync.h"
#include "platform/archive/Archive.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"
#include "platform/gui/UserInterface.h"

#include <cstdio>
#include <filesystem>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Movie, RefObject, kVersionableSchema | 1)

namespace {

Movie* current = nullptr;

// A path without a folder goes into the movie folder; a relative one is
// taken from the current folder.
std::string CompletePath(const std::string& path) {
    std::string full = NormalizeSeparators(path);
    if (FolderOf(full).empty())
        return JoinPath(Movie::MovieFolder(), full);
    if (full[0] != '/') {
        std::error_code ec;
        std::string abs = std::filesystem::absolute(full, ec).lexically_normal().string();
        if (!ec)
            return abs;
    }
    return full;
}
MovieView noView;

// Shows the wait cursor for as long as it lives.
struct WaitCursor {
    WaitCursor() { UserInterface::Current().SetWaitCursor(true); }
    ~WaitCursor() { UserInterface::Current().SetWaitCursor(false); }
};

std::string Format(const std::string& text, const std::string& arg) {
    if (text.find("%s") == std::string::npos)
        return text.empty() ? arg : text + " " + arg;
    std::string out = text;
    out.replace(out.find("%s"), 2, arg);
    return out;
}

} // namespace

Movie::Movie() : clipList_(new ClipList) {}

Movie::~Movie() {
    if (current == this)
        current = nullptr;
}

Movie* Movie::Current() { return current; }
void Movie::MakeCurrent() { current = this; }

MovieView& Movie::View() const { return view_ ? *view_ : noView; }

Time Movie::GetDuration() const { return clipList_->GetEnd(); }

Time Movie::GetPosition() const { return View().GetPosition(); }

void Movie::SetPosition(Time time) { View().SetPosition(time); }

void Movie::SetModifiedFlag(bool modified) {
    if (modified == modified_)
        return;
    modified_ = modified;
    View().UpdateFrameTitle();
    View().RepaintMovieWindow();
}

void Movie::SetViewRange(double start, double span) {
    viewStart_ = start;
    viewSpan_ = span;
}

void Movie::RestoreTimelineView() { View().RestoreTimelineView(viewStart_, viewSpan_); }

std::string Movie::MovieFolder() {
    if (SettingsBase* s = SettingsBase::Current()) {
        std::string last = s->GetMovieFile();
        std::string folder = FolderOf(last);
        if (!folder.empty())
            return folder;
    }
    return Places::VideosFolder();
}

std::string Movie::DefaultTitle() {
    std::string title = ResourceText(kTextUntitled);
    return title.empty() ? std::string("Untitled") : title;
}

void Movie::SetPath(const std::string& path, bool) {
    if (path.empty()) {
        pathName_.clear();
        title_ = DefaultTitle();
    } else {
        std::string full = CompletePath(path);
        pathName_ = full;
        title_ = FileNameOf(full);
        if (SettingsBase* s = SettingsBase::Current())
            s->SetMovieFile(full);
        View().RepaintMovieWindow();
    }
    View().UpdateFrameTitle();
    View().MoviePathChanged(pathName_);
}

void Movie::ResetMovie() {
    clipList_->RemoveAll();
    SetPosition(0);
    pathName_.clear();
    title_ = DefaultTitle();
    modified_ = false;
    SetPath(title_);
    frameSizeWarning_ = 0;
}

void Movie::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteDword(kIdentifier);
        ar.WriteDword(kSchemaWord);
        clipList_->Serialize(ar);
        ar.WriteDword(View().GetPlayeeOptions());
        ar.WriteInt32(GetPosition());
        ar.WriteText(pathName_);
        ar.WriteDouble(viewStart_);
        ar.WriteDouble(viewSpan_);
        ar.WriteDword(0); // no embedded items
        return;
    }
    // Read whole before anything of the document changes.
    RefPtr<ClipList> list = new ClipList;
    std::string path;
    double start = 0, span = 0;
    ReadBody(ar, *list, path, start, span);
    clipList_->RemoveAll();
    for (auto& clip : list->GetClips())
        clipList_->Add(clip.get());
    clipList_->Relink();
    viewStart_ = start;
    viewSpan_ = span;
    SetPath(path);
}

void Movie::ReadBody(Archive& ar, ClipList& into, std::string& path, double& start,
                     double& span) {
    if (ar.ReadDword() != kIdentifier)
        throw ArchiveException(ArchiveException::badClass, "not a movie project");
    if (ar.ReadDword() != kSchemaWord)
        throw ArchiveException(ArchiveException::badSchema, "a movie project of another version");
    into.Serialize(ar);
    ar.ReadDword(); // the preview item's option word
    ar.ReadInt32(); // the preview position when saved
    path = ar.ReadText();
    start = ar.ReadDouble();
    span = ar.ReadDouble();
    if (ar.ReadDword() != 0)
        throw ArchiveException(ArchiveException::badClass, "embedded document items");
}

bool Movie::SaveToFile(const std::string& path) {
    WaitCursor wait;
    lastError_.clear();
    // The movie folder is ours to make on a fresh machine.
    if (FolderOf(NormalizeSeparators(path)).empty())
        Places::EnsureFolder(MovieFolder());
    std::string full = CompletePath(path);
    SafeFile file;
    std::string error;
    if (!file.Open(full, &error)) {
        LogMessage("Movie::SaveToFile can't open file\n");
        lastError_ = error;
        return false;
    }
    UnifyTapes(*clipList_, false);
    // The saved path is the one the file will have.
    std::string oldPath = pathName_;
    pathName_ = full;
    try {
        Archive ar(file, Archive::store, this);
        ar.SetPurpose(Archive::projectSave);
        saving_ = true;
        Serialize(ar);
        saving_ = false;
        ar.Close();
    } catch (const std::exception& e) {
        saving_ = false;
        pathName_ = oldPath;
        LogMessage("Movie::SaveToFile %s failed: %s\n", full.c_str(), e.what());
        lastError_ = e.what();
        return false; // the SafeFile removes the partial file
    }
    if (!file.Commit(&error)) {
        pathName_ = oldPath;
        LogMessage("Movie::SaveToFile %s failed: %s\n", full.c_str(), error.c_str());
        lastError_ = error;
        return false;
    }
    SetPath(full);
    SetModifiedFlag(false);
    return true;
}

bool Movie::OpenFromFile(const std::string& path) {
    WaitCursor wait;
    lastError_.clear();
    File file;
    std::string error;
    if (!file.Open(path, File::readOnly, &error)) {
        LogMessage("Movie::OpenFromFile can't open file\n");
        lastError_ = error;
        return false;
    }
    RefPtr<ClipList> list = new ClipList;
    std::string storedPath;
    double start = 0, span = 0;
    uint64_t mark = RefObject::OrphanMark();
    try {
        Archive ar(file, Archive::load, this);
        ar.SetPurpose(Archive::otherStream);
        ReadBody(ar, *list, storedPath, start, span);
    } catch (const std::exception& e) {
        LogMessage("Movie::OpenFromFile %s: %s\n", path.c_str(), e.what());
        lastError_ = e.what();
        list->RemoveAll();
        RefObject::ReleaseOrphansSince(mark);
        return false;
    }
    clipList_->RemoveAll();
    for (auto& clip : list->GetClips())
        clipList_->Add(clip.get());
    clipList_->Relink();
    viewStart_ = start;
    viewSpan_ = span;
    // The file's own place, not the path stored in it, is the document's.
    SetPath(path);
    UnifyTapes(*clipList_, false);
    modified_ = false;
    return true;
}

void Movie::NoteFrameSizeMismatch() {
    if (frameSizeWarning_ == 0)
        frameSizeWarning_ = 1;
}

void Movie::ShowFrameSizeWarning() {
    if (frameSizeWarning_ != 1)
        return;
    frameSizeWarning_ = 2;
    UserInterface::Current().MessageBox(ResourceText(52105), kProductName,
                                        UserInterface::ok, UserInterface::warning);
}

bool Movie::CanPlace(const ClipList& list, Time time, int track, std::string& reason) {
    if (list.IsEmpty())
        return false;
    const Clip* first = list.GetClips().front().get();
    int t = list.HasSeveralTracks() ? first->GetTrack() : track;
    if (t != 0 && t != 1 && t != 3 && t != 4)
        return false;
    return View().CanPlace(list, time, t, reason);
}

void Movie::EnsureVolumeLists() {
    for (auto& clip : clipList_->GetClips()) {
        if (clip->IsTransition() || clip->GetDuration() == 0)
            continue;
        if (!clip->GetVolumeList()) {
            RefPtr<VolumeList> v = new VolumeList(clip->GetDuration());
            clip->SetVolumeList(v.get());
        }
        VolumeList* v = clip->GetVolumeList();
        Time last = clip->GetDuration() - 1;
        bool hasStart = false, hasEnd = false;
        if (const auto* points = v->Points())
            for (const VolumeSetting& p : *points) {
                hasStart |= p.time == 0;
                hasEnd |= p.time == last;
            }
        if (!hasStart)
            v->AddVolumeSetting(VolumeSetting(
                View().TrackLevelAt(clip->GetTrack(), clip->GetStart()), 0));
        if (!hasEnd)
            v->AddVolumeSetting(VolumeSetting(
                View().TrackLevelAt(clip->GetTrack(), clip->GetStart() + last), last));
    }
}

void Movie::RelinkMissingMedia() {
    for (auto& clip : clipList_->GetClips()) {
        Asset* asset = clip->GetAsset();
        if (!asset)
            continue;
        int kind = asset->GetKind();
        if (kind != Asset::kindScene && kind != Asset::kindSound)
            continue;
        std::string old = asset->GetFileName();
        if (old.empty())
            continue;
        auto moved = movedTo_.find(old);
        if (moved != movedTo_.end()) {
            if (!moved->second.empty() && (moved->second != old || accepted_.count(old)))
                clip->SetFileName(moved->second);
            continue;
        }
        movedTo_[old] = old;
        if (FileExists(old))
            continue;
        std::string replacement = FindMissingFile(old, kind);
        movedTo_[old] = replacement;
        if (!replacement.empty()) {
            movedTo_[replacement] = replacement;
            accepted_[replacement] = true;
            clip->SetFileName(replacement);
        }
    }
}

std::string Movie::FindMissingFile(const std::string& path, int kind) {
    std::string title = FileNameOf(path);
    SettingsBase* s = SettingsBase::Current();
    std::vector<std::string> candidates;
    if (s) {
        std::string folder = kind == Asset::kindScene ? s->GetCaptureFolder()
                                                      : FolderOf(s->GetSoundFile());
        if (!folder.empty())
            candidates.push_back(JoinPath(folder, title));
    }
    if (!chosenFolder_.empty())
        candidates.push_back(JoinPath(chosenFolder_, title));
    std::string dataFolder = s ? s->GetMainPath() : Places::VideosFolder();
    std::string samples = JoinPath(dataFolder, ResourceText(52110));
    candidates.push_back(JoinPath(samples, title));
    for (const std::string& c : candidates)
        if (FileExists(c))
            return c;

    UserInterface& ui = UserInterface::Current();
    if (ui.MessageBox(Format(ResourceText(50369), path), kProductName,
                      UserInterface::yesNo, UserInterface::question) != UserInterface::answerYes)
        return std::string();
    std::string filter = kind == Asset::kindScene && s ? s->GetVideoFileFilter()
                                                       : ResourceText(50306);
    std::string chosen = ui.ChooseOpenFile(JoinPath(samples, title), filter, ExtensionOf(path));
    if (chosen.empty())
        return std::string();
    chosenFolder_ = FolderOf(chosen);
    return chosen;
}

void UnifyTapes(ClipList& list, bool loadSync) {
    std::map<std::string, RefPtr<SourceTape>> tapes;
    for (auto& clip : list.GetClips()) {
        Scene* scene = DynamicCast<Scene>(clip->GetAsset());
        if (!scene)
            continue;
        std::string name = scene->GetFileName();
        if (name.empty())
            continue;
        auto it = tapes.find(name);
        if (it != tapes.end()) {
            scene->SetTape(it->second.get());
            continue;
        }
        SourceTape* tape = scene->GetTape();
        tapes.emplace(name, tape);
        if (loadSync)
            tape->SetSync(tape->TakeSync());
        else
            tape->DropSync();
    }
}

} // namespace orvik
