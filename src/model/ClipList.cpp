#include "model/ClipList.h"

#include <cstdio>

#include "app/DiagnosticsLog.h"
#include "model/Asset.h"
#include "model/ClipIterator.h"
#include "model/XMemFile.h"
#include "platform/archive/Archive.h"
#include "platform/archive/ArchiveException.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(ClipList, RefObject, kVersionableSchema | 1)

namespace {

// The smallest stored clip reference (a WORD tag).
constexpr uint64_t kStoredClipMinSize = 2;

int CompareNoCase(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

ClipList::ClipList() = default;

// A fresh base: lists are copied by intent (clipboard, edits, the player).
ClipList::ClipList(const ClipList& other) : RefObject(), Notifier() {
    for (const RefPtr<Clip>& c : other.clips_)
        clips_.push_back(RefPtr<Clip>(c->CloneClip()));
    dirty_ = true;
}

ClipList::~ClipList() = default;

RefObject* ClipList::Clone() const {
    return new ClipList(*this);
}

void ClipList::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<uint32_t>(clips_.size()));
        for (const RefPtr<Clip>& c : clips_)
            ar.WriteObject(c.get());
        return;
    }
    clips_.clear();
    cachedEnd_ = 0;
    uint32_t count = ar.ReadCount();
    ar.RequireBytes(count, kStoredClipMinSize);
    std::unordered_set<const Clip*> seen;
    for (uint32_t i = 0; i < count; ++i) {
        PersistentObject* o = ar.ReadObject(RuntimeClassOf<RefObject>());
        Clip* clip = DynamicCast<Clip>(o);
        if (!clip)
            throw ArchiveException(ArchiveException::badClass, "a clip list entry is no clip");
        // One clip object twice in a list would tangle its neighbour links.
        if (!seen.insert(clip).second)
            throw ArchiveException(ArchiveException::badIndex, "a clip listed twice");
        clips_.push_back(RefPtr<Clip>(clip));
    }
    dirty_ = true;
}

void ClipList::Add(Clip* clip) {
    Clip* last = clips_.empty() ? nullptr : clips_.back().get();
    clips_.push_back(RefPtr<Clip>(clip));
    clip->SetLinks(last, nullptr);
    if (last)
        last->SetLinks(last->GetPrev(), clip);
    dirty_ = true;
}

ClipList::Position ClipList::InsertBefore(Position position, Clip* clip) {
    dirty_ = true;
    return clips_.insert(position, RefPtr<Clip>(clip));
}

void ClipList::Remove(Position position) {
    dirty_ = true;
    clips_.erase(position);
}

void ClipList::RemoveAll() {
    clips_.clear();
    buried_.clear();
    cachedEnd_ = 0;
    dirty_ = false;
    Notify();
}

void ClipList::AddSorted(Clip* clip) {
    std::string name = FileTitleWithoutExtension(clip->GetFileName());
    for (Position p = clips_.begin(); p != clips_.end(); ++p) {
        if (CompareNoCase(FileTitleWithoutExtension((*p)->GetFileName()), name) >= 0) {
            InsertBefore(p, clip);
            return;
        }
    }
    InsertBefore(clips_.end(), clip);
}

void ClipList::Relink() {
    Clip* prev = nullptr;
    int32_t n = 0;
    for (const RefPtr<Clip>& c : clips_) {
        c->SetSequence(n++);
        c->SetLinks(prev, nullptr);
        if (prev)
            prev->SetLinks(prev->GetPrev(), c.get());
        prev = c.get();
    }
}

Time ClipList::GetEnd() {
    if (dirty_) {
        dirty_ = false;
        Clip* prev = nullptr;
        Time end = 0;
        for (const RefPtr<Clip>& c : clips_) {
            c->SetLinks(prev, nullptr);
            if (prev)
                prev->SetLinks(prev->GetPrev(), c.get());
            prev = c.get();
            end = std::max(end, c->GetEnd());
        }
        cachedEnd_ = end;
    }
    return cachedEnd_;
}

bool ClipList::IsSameAs(const ClipList* other) const {
    if (!other || other->clips_.size() != clips_.size())
        return false;
    auto b = other->clips_.begin();
    for (const RefPtr<Clip>& a : clips_)
        if (!a->IsSameAs((b++)->get()))
            return false;
    return true;
}

bool ClipList::HasSeveralTracks() const {
    for (const RefPtr<Clip>& c : clips_)
        if (c->GetTrack() != clips_.front()->GetTrack())
            return true;
    return false;
}

Clip* ClipList::GetNth(int n, bool selectedOnly) const {
    if (n < 0)
        return nullptr;
    for (const RefPtr<Clip>& c : clips_) {
        if (selectedOnly && !c->IsSelected())
            continue;
        if (n-- == 0)
            return c.get();
    }
    return nullptr;
}

Clip* ClipList::FindFirst(int track, int kind, int selection) const {
    for (const RefPtr<Clip>& c : clips_)
        if ((track < 0 || c->GetTrack() == track) && MatchesKind(c.get(), kind) &&
            MatchesSelection(c.get(), selection))
            return c.get();
    return nullptr;
}

Clip* ClipList::FindLast(int track, int kind, int selection) const {
    for (auto it = clips_.rbegin(); it != clips_.rend(); ++it)
        if ((track < 0 || (*it)->GetTrack() == track) && MatchesKind(it->get(), kind) &&
            MatchesSelection(it->get(), selection))
            return it->get();
    return nullptr;
}

Clip* ClipList::FindAt(Time from, Time to, int track, int kind, int selection, bool startsInside) {
    for (const RefPtr<Clip>& ref : clips_) {
        Clip* c = ref.get();
        if (track >= 0 && c->GetTrack() != track)
            continue;
        if (c->GetStart() > to) {
            if (track >= 0)
                return nullptr; // the track is sorted by start
            continue;
        }
        if (startsInside && c->GetStart() < from)
            continue;
        if (c->GetEnd() > from && MatchesKind(c, kind) && MatchesSelection(c, selection))
            return c;
    }
    return nullptr;
}

Clip* ClipList::FindByFileName(const std::string& name, int track) const {
    for (const RefPtr<Clip>& c : clips_)
        if ((track < 0 || c->GetTrack() == track) && c->GetAsset() &&
            c->GetAsset()->GetFileName() == name)
            return c.get();
    return nullptr;
}

Clip* ClipList::GetFirstByStart(int selection) const {
    Clip* best = nullptr;
    for (const RefPtr<Clip>& c : clips_) {
        if (selection >= 1 && selection <= 3 && !MatchesSelection(c.get(), selection))
            continue;
        if (!best || c->GetStart() < best->GetStart())
            best = c.get();
    }
    return best;
}

std::optional<Time> ClipList::GetSelectedRunLength(int track, int kind) const {
    Clip* first = FindFirst(track, kind, 2);
    if (!first)
        return std::nullopt;
    auto it = std::find_if(clips_.begin(), clips_.end(),
                           [&](const RefPtr<Clip>& c) { return c.get() == first; });
    Clip* last = first;
    for (++it; it != clips_.end(); ++it) {
        Clip* c = it->get();
        if (c->GetTrack() != first->GetTrack() || !c->IsSelected() || !MatchesKind(c, kind))
            break;
        last = c;
    }
    return last->GetEnd() - first->GetStart();
}

void ClipList::SetTrackOfAll(int32_t track) {
    for (const RefPtr<Clip>& c : clips_)
        c->SetTrack(track);
}

void ClipList::SelectAt(Time time) {
    for (const RefPtr<Clip>& c : clips_)
        c->SetSelected(c->GetStart() == time || c->GetEnd() == time);
}

void ClipList::MarkSelected() {
    for (const RefPtr<Clip>& c : clips_)
        c->SetMarked(c->IsSelected());
}

int ClipList::CountMarked() const {
    return static_cast<int>(std::count_if(clips_.begin(), clips_.end(),
                                          [](const RefPtr<Clip>& c) { return c->IsMarked(); }));
}

namespace {

void ClearBit(RefList<Clip>& clips, uint32_t bit, std::vector<int32_t>* indices) {
    int32_t n = 0;
    for (const RefPtr<Clip>& c : clips) {
        if (c->HasFlag(bit) && indices)
            indices->push_back(n);
        c->SetFlag(bit, false);
        ++n;
    }
}

void SetBitAt(RefList<Clip>& clips, uint32_t bit, const std::vector<int32_t>& indices) {
    // Sorted in case a caller's list is not.
    std::vector<int32_t> sorted(indices);
    std::sort(sorted.begin(), sorted.end());
    auto next = sorted.begin();
    int32_t n = 0;
    for (const RefPtr<Clip>& c : clips) {
        while (next != sorted.end() && *next < n)
            ++next;
        c->SetFlag(bit, next != sorted.end() && *next == n);
        ++n;
    }
}

void IndicesWithBit(const RefList<Clip>& clips, uint32_t bit, std::vector<int32_t>& indices) {
    int32_t n = 0;
    for (const RefPtr<Clip>& c : clips) {
        if (c->HasFlag(bit))
            indices.push_back(n);
        ++n;
    }
}

} // namespace

void ClipList::ClearSelected(std::vector<int32_t>* indices) {
    ClearBit(clips_, Clip::selected, indices);
}
void ClipList::ClearMarked(std::vector<int32_t>* indices) {
    ClearBit(clips_, Clip::marked, indices);
}
void ClipList::SetSelected(const std::vector<int32_t>& indices) {
    SetBitAt(clips_, Clip::selected, indices);
}
void ClipList::SetMarked(const std::vector<int32_t>& indices) {
    SetBitAt(clips_, Clip::marked, indices);
}
void ClipList::GetSelectedIndices(std::vector<int32_t>& indices) const {
    IndicesWithBit(clips_, Clip::selected, indices);
}
void ClipList::GetMarkedIndices(std::vector<int32_t>& indices) const {
    IndicesWithBit(clips_, Clip::marked, indices);
}

bool ClipList::IsSingleTransition() const {
    return clips_.size() == 1 && clips_.front()->GetKind() == Asset::kindTransition;
}

bool ClipList::IsSingleGraphic() const {
    return clips_.size() == 1 && clips_.front()->GetKind() == Asset::kindGraphic;
}

bool ClipList::IsSingleSound() const {
    if (clips_.size() != 1)
        return false;
    int kind = clips_.front()->GetKind();
    return kind == Asset::kindSound || kind == Asset::kindMidi || kind == Asset::kindCd;
}

bool ClipList::HasSceneOrGraphic() const {
    return std::any_of(clips_.begin(), clips_.end(), [](const RefPtr<Clip>& c) {
        return c->GetKind() == Asset::kindScene || c->GetKind() == Asset::kindGraphic;
    });
}

void ClipList::Dump() const {
    // One log call per line, as the table has always been written.
    std::string text = DumpText();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        LogMessage("%s", text.substr(start, end - start + 1).c_str());
        start = end + 1;
    }
}

std::string ClipList::DumpText() const {
    std::string out = "SEQ   Movie Start   Duration   Trim Start  Clip Start   Duration  Type\n";
    int32_t track = 0;
    int n = 0;
    char line[512];
    for (const RefPtr<Clip>& c : clips_) {
        if (c->GetTrack() != track) {
            track = c->GetTrack();
            snprintf(line, sizeof line, "Track: %d\n", track);
            out += line;
        }
        const Asset* a = c->GetAsset();
        snprintf(line, sizeof line, "%3d%c%c%10d%c %10d  %10d  %10d  %10d    %s\n", ++n,
                 c->IsSelected() ? '*' : ' ', c->IsMarked() ? '*' : ' ', c->GetStart(),
                 c->IsPinned() ? '@' : ' ', c->GetDuration(), c->GetTrimStart(), c->GetAssetStart(),
                 c->GetAssetDuration(), a ? a->GetRuntimeClass()->className : "");
        out += line;
    }
    return out;
}

uint32_t ClipList::MovieClipListFormat() {
    return Clipboard::RegisterFormat(kMovieClipListFormat);
}

uint32_t ClipList::LibraryClipListFormat() {
    return Clipboard::RegisterFormat(kLibraryClipListFormat);
}

bool ClipList::CopyToDataSource(Clipboard::DataSource& dataSource, uint32_t format) const {
    std::vector<uint8_t> bytes;
    if (format == Clipboard::kTextFormat) {
        for (const RefPtr<Clip>& c : clips_) {
            std::string line = c->GetAsset() ? c->GetAsset()->GetText(c.get()) : std::string();
            line += "\r\n";
            bytes.insert(bytes.end(), line.begin(), line.end());
        }
        bytes.push_back(0);
    } else {
        XMemFile file;
        Archive ar(file, Archive::store);
        // The clipboard stays inside this process: working files are named,
        // not copied.
        ar.SetPurpose(Archive::ownMemory);
        const_cast<ClipList*>(this)->Serialize(ar);
        ar.Close();
        bytes = file.Bytes();
    }
    dataSource.SetData(format, std::move(bytes));
    return true;
}

bool ClipList::CopyToClipboard(uint32_t format, bool alsoText) const {
    Clipboard::DataSource source;
    if (!CopyToDataSource(source, format))
        return false;
    if (alsoText && format != Clipboard::kTextFormat &&
        !CopyToDataSource(source, Clipboard::kTextFormat))
        return false;
    Clipboard::Get().Place(std::move(source));
    return true;
}

bool ClipList::ReadFromClipboard(uint32_t format) {
    std::vector<uint8_t> bytes;
    bool own = false;
    if (!Clipboard::Get().GetData(format, bytes, &own)) {
        LogMessage("ClipList::ReadFromClipboard: nothing in format %s\n",
                   Clipboard::FormatName(format).c_str());
        return false;
    }
    RefPtr<ClipList> read = new ClipList;
    try {
        XMemFile file(bytes.data(), bytes.size());
        Archive ar(file, Archive::load);
        // Bytes another program placed are outside bytes.
        ar.SetPurpose(own ? Archive::ownMemory : Archive::otherStream);
        read->Serialize(ar);
    } catch (const ArchiveException& e) {
        LogMessage("ClipList::ReadFromClipboard: %s\n", e.what());
        return false;
    } catch (const FileException& e) {
        LogMessage("ClipList::ReadFromClipboard: %s\n", e.what());
        return false;
    }
    clips_.swap(read->clips_);
    dirty_ = true;
    return true;
}

Clip* ClipList::TransitionBefore(const Clip* clip) {
    Clip* t = clip ? clip->GetPrevOnTrack() : nullptr;
    if (!t || !t->IsTransition() || clip->IsTransition() || t->GetEnd() < clip->GetStart())
        return nullptr;
    if (t->GetEnd() == clip->GetStart()) {
        Clip* before = t->GetPrevOnTrack();
        if (before && before->GetEnd() >= t->GetStart())
            return nullptr; // it belongs to the clip before it
    }
    return t;
}

Clip* ClipList::TransitionAfter(const Clip* clip) {
    Clip* t = clip ? clip->GetNextOnTrack() : nullptr;
    if (!t || !t->IsTransition() || clip->IsTransition() || t->GetStart() > clip->GetEnd())
        return nullptr;
    if (t->GetStart() == clip->GetEnd()) {
        Clip* after = t->GetNextOnTrack();
        if (after && after->GetStart() <= t->GetEnd())
            return nullptr; // it belongs to the clip after it
    }
    return t;
}

Time ClipList::ClearStart(const Clip* clip) {
    Clip* t = TransitionBefore(clip);
    return t ? std::max(clip->GetStart(), t->GetEnd()) : clip->GetStart();
}

Time ClipList::ClearEnd(const Clip* clip) {
    Clip* t = TransitionAfter(clip);
    return t ? std::min(clip->GetEnd(), t->GetStart()) : clip->GetEnd();
}

void ClipList::AppendRecord(ClipList* records, Clip* record) {
    if (records)
        records->Add(record);
}

void ClipList::RemoveClip(ClipIterator& position, ClipList* records) {
    int step = position.Step();
    RefPtr<Clip> removed = position.RemoveCurrent();
    if (!removed)
        return;
    dirty_ = true;
    if (records) {
        Clip* record = removed->CloneClip();
        record->SetFlags((record->GetFlags() & ~Clip::kRecordBits) | Clip::removedRecord);
        record->SetSequence(step);
        AppendRecord(records, record);
    }
    Bury(std::move(removed));
}

void ClipList::InsertClip(ClipIterator& position, Clip* clip, ClipList* records) {
    int step = position.InsertBeforeCurrent(clip);
    dirty_ = true;
    if (records) {
        Clip* record = new Clip;
        record->SetFlags(Clip::insertedRecord);
        record->SetSequence(step);
        AppendRecord(records, record);
    }
}

void ClipList::UpdateClip(ClipIterator& position, Clip* clip, ClipList* records, Time newStart,
                          Time newEnd, Time newTrim, bool newPinned, bool atStart,
                          Asset* newAsset) {
    Time newDuration = std::max<Time>(newEnd - newStart, 0);
    bool startChanged = newStart != clip->GetStart();
    bool durationChanged = newDuration != clip->GetDuration();
    bool trimChanged = newTrim != clip->GetTrimStart();
    bool counts = (startChanged && clip->IsPinned()) || durationChanged || trimChanged ||
                  newPinned != clip->IsPinned() || newAsset;
    RefPtr<Asset> ownCopy;
    if (counts) {
        if (newDuration == 0) {
            // A clip with nothing left to play goes, with or without records:
            // an empty clip can be neither seen nor selected.
            RemoveClip(position, records);
            return;
        }
        // A clip whose trim changes gets its own copy of an asset that
        // renders for one clip (generated music, CD audio).
        if ((durationChanged || trimChanged) && !newAsset && clip->GetAsset() &&
            clip->GetAsset()->CopyOnTrim()) {
            ownCopy = static_cast<Asset*>(clip->GetAsset()->Clone());
            newAsset = ownCopy.get();
        }
        if (records) {
            Clip* record = new Clip;
            record->RecordChangeOf(*clip, startChanged, durationChanged, trimChanged,
                                   newAsset != nullptr);
            record->SetSequence(position.Step());
            AppendRecord(records, record);
        }
    }
    if (trimChanged)
        clip->SetStartTrimmed(true);
    if (static_cast<int64_t>(newTrim) + newDuration !=
        static_cast<int64_t>(clip->GetTrimStart()) + clip->GetDuration())
        clip->SetEndTrimmed(true);
    clip->SetStart(newStart);
    clip->SetDuration(newDuration, atStart);
    clip->SetTrimStart(newTrim);
    clip->SetPinned(newPinned);
    if (ownCopy)
        ownCopy->AdjustToClip(newTrim, newDuration);
    if (newAsset)
        clip->SetAsset(newAsset);
    if (counts || startChanged)
        dirty_ = true;
}

void ClipList::RestoreClips(const ClipList& records) {
    dirty_ = true;
    Relink();
    ClipIterator it(*this);
    for (const RefPtr<Clip>& record : records.clips_) {
        while (it.Step() < record->GetSequence() && !it.IsPastEnd())
            it.Next();
        if (record->IsInsertedRecord()) {
            if (it.Current())
                RemoveClip(it, nullptr);
            else
                LogMessage("ClipList::RestoreClips missing clip\n");
        } else if (record->IsRemovedRecord()) {
            RefPtr<Clip> clip = record->CloneClip();
            clip->SetFlags(clip->GetFlags() & ~Clip::kRecordBits);
            InsertClip(it, clip.get(), nullptr);
        } else if (record->IsChangedRecord()) {
            if (Clip* clip = it.Current())
                clip->RestoreFrom(*record);
            else
                LogMessage("ClipList::RestoreClips missing clip\n");
        } else {
            LogMessage("ClipList::RestoreClips unknown clip\n");
        }
    }
    buried_.clear();
    Relink();
}

} // namespace orvik
