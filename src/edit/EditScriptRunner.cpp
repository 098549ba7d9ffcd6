#include "edit/EditScriptRunner.h"

#include "edit/ClipCommands.h"
#include "edit/MovieCommands.h"
#include "edit/NavigationCommands.h"
#include "edit/TrimCommands.h"
#include "edit/Undoer.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "model/Scene.h"
#include "model/Timecode.h"
#include "model/Transition.h"
#include "model/WaveAsset.h"
#include "platform/fs/Places.h"
#include "platform/gui/Clipboard.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

namespace orvik {

namespace {

std::string TimeText(int64_t t) {
    return Timecode::Format(static_cast<Time>(std::clamp<int64_t>(
        t, std::numeric_limits<Time>::min(), std::numeric_limits<Time>::max())));
}

std::string ClipName(int32_t position) {
    return "clip " + std::to_string(position + 1);
}

std::string TrackName(int32_t track) {
    switch (track) {
    case 0:
        return "the video track";
    case 1:
        return "the graphic track";
    case 3:
        return "the sound track";
    case 4:
        return "the music track";
    default:
        return "track " + std::to_string(track);
    }
}

std::string KindName(const EditStep& step) {
    switch (step.verb) {
    case EditStep::Verb::InsertScene:
        return "a scene";
    case EditStep::Verb::InsertGraphic:
        return "a graphic";
    case EditStep::Verb::InsertSound:
        return "a sound";
    default:
        return "a transition";
    }
}

// The place of a file as the project keeps it: absolute.
std::string AbsoluteFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

int32_t PositionOf(const ClipList& list, const Clip* clip) {
    int32_t i = 0;
    for (const RefPtr<Clip>& c : list.GetClips()) {
        if (c.get() == clip)
            return i;
        ++i;
    }
    return -1;
}

// The summed durations of the clips of `list` that `take` accepts.
template <class F> int64_t Length(const ClipList& list, F take) {
    int64_t sum = 0;
    for (const RefPtr<Clip>& c : list.GetClips())
        if (take(*c))
            sum += c->GetDuration();
    return sum;
}

} // namespace

EditScriptRunner::EditScriptRunner(Movie& movie, Undoer& undoer, std::string projectPath)
    : movie_(movie), undoer_(undoer), projectPath_(std::move(projectPath)) {
    view_.Attach(&movie_);
}

EditScriptRunner::~EditScriptRunner() {
    view_.Detach();
}

Time EditScriptRunner::MaxMovieTime() {
    return 2 * MaxScriptTime();
}

ClipList& EditScriptRunner::List() {
    return *movie_.GetClipList();
}

bool EditScriptRunner::Run(const EditScript& script, std::string& error) {
    for (const EditStep& step : script.steps) {
        std::string why;
        if (!RunStep(step, why)) {
            error = "line " + std::to_string(step.line) + ": " + why;
            return false;
        }
    }
    return true;
}

bool EditScriptRunner::Fits(Time at, int64_t extra, std::string& why) {
    int64_t end = std::max<int64_t>(List().GetEnd(), at) + std::max<int64_t>(extra, 0);
    if (end <= MaxMovieTime())
        return true;
    why = "the movie would grow past " + TimeText(MaxMovieTime());
    return false;
}

bool EditScriptRunner::NeedSelection(std::string& why) {
    if (List().GetFirstSelected(false))
        return true;
    why = "no clip is selected";
    return false;
}

Clip* EditScriptRunner::FirstSelected(bool transition, int32_t* position) {
    int32_t i = 0;
    for (const RefPtr<Clip>& c : List().GetClips()) {
        if (c->IsSelected() && c->IsTransition() == transition) {
            if (position)
                *position = i;
            return c.get();
        }
        ++i;
    }
    return nullptr;
}

bool EditScriptRunner::RunStep(const EditStep& step, std::string& why) {
    using V = EditStep::Verb;
    List().GetEnd(); // current neighbour links for the searches below
    switch (step.verb) {
    case V::InsertScene:
    case V::InsertGraphic:
    case V::InsertSound:
    case V::InsertTransition:
        return Insert(step, why);

    case V::SelectClips:
    case V::SelectAdd:
    case V::SelectToggle:
    case V::SelectAt:
    case V::SelectAll:
    case V::SelectNone:
    case V::SelectStep:
        return Select(step, why);

    case V::Delete:
        if (!NeedSelection(why))
            return false;
        DeleteClipsCommand().Execute();
        return true;
    case V::Cut:
        if (!NeedSelection(why))
            return false;
        CutClipsCommand().Execute();
        return true;
    case V::Copy: {
        // The selected clips as they lie, onto the clipboard; the movie and
        // its history do not change.
        if (!NeedSelection(why))
            return false;
        RefPtr<ClipList> copy = new ClipList;
        copy->CreateSelectedList(List(), false, true);
        if (!copy->CopyToClipboard(ClipList::MovieClipListFormat(), true)) {
            why = "cannot put the clips on the clipboard";
            return false;
        }
        return true;
    }
    case V::CopyTo:
    case V::Move: {
        if (!NeedSelection(why))
            return false;
        if (!Fits(step.at, Length(List(), [](const Clip& c) { return c.IsSelected(); }), why))
            return false;
        if (step.verb == V::Move)
            MoveSelectedClipsCommand(step.at, step.track).Execute();
        else
            CopySelectedClipsCommand(step.at, step.track).Execute();
        return true;
    }
    case V::Paste: {
        uint32_t format = ClipList::MovieClipListFormat();
        RefPtr<ClipList> probe = new ClipList;
        if (!Clipboard::Get().IsFormatAvailable(format) || !probe->ReadFromClipboard(format) ||
            probe->IsEmpty()) {
            why = "the clipboard holds no clips (cut or copy some first)";
            return false;
        }
        if (!Fits(step.at, Length(*probe, [](const Clip&) { return true; }), why))
            return false;
        PasteClipsCommand paste(step.at, step.track);
        if (!paste.CanExecute()) {
            why = "the movie does not take the clipboard's clips at " + TimeText(step.at);
            return false;
        }
        paste.Execute();
        return true;
    }

    case V::TrimStart:
    case V::TrimEnd:
    case V::OverlapTrim:
    case V::TransitionDuration:
    case V::ResetStart:
    case V::ResetEnd:
    case V::Split:
        return Trim(step, why);

    case V::Reverse: {
        Time position = movie_.GetPosition();
        Clip* transition = List().FindAt(position, -1, Asset::kindTransition, 2);
        if (!transition) {
            why = "no selected transition plays at the movie's position " + TimeText(position);
            return false;
        }
        if (transition->IsReversed() == step.on) {
            why = std::string("the transition is ") + (step.on ? "reversed" : "not reversed") +
                  " already";
            return false;
        }
        ReverseTransitionCommand(step.on ? 1 : 0).Execute();
        return true;
    }
    case V::Comment: {
        Clip* clip = List().GetFirstSelected(false);
        if (!clip) {
            why = "no clip is selected";
            return false;
        }
        if (clip->GetComment() == step.text) {
            why = ClipName(PositionOf(List(), clip)) + " has this comment already";
            return false;
        }
        CommentClipCommand(step.text).Execute();
        return true;
    }

    case V::Undo:
        if (!undoer_.CanUndo()) {
            why = "nothing to undo";
            return false;
        }
        undoer_.Undo();
        return true;
    case V::Redo:
        if (!undoer_.CanRedo()) {
            why = "nothing to redo";
            return false;
        }
        undoer_.Redo();
        return true;
    case V::Save: {
        std::string path = step.path.empty() ? projectPath_ : AbsoluteFile(step.path);
        MovieSaveCommand save(path);
        save.Execute();
        if (!save.result) {
            why = "cannot save " + path + ": " + movie_.LastError();
            return false;
        }
        return true;
    }
    }
    why = "unknown step";
    return false;
}

bool EditScriptRunner::Insert(const EditStep& step, std::string& why) {
    using V = EditStep::Verb;
    std::string path = step.path.empty() ? std::string() : AbsoluteFile(step.path);
    if (step.verb != V::InsertTransition && !FileExists(path)) {
        why = "no such file: " + step.path;
        return false;
    }
    RefPtr<Clip> clip;
    switch (step.verb) {
    case V::InsertScene: {
        RefPtr<MediaFile> video = OpenMediaFile(path, MediaFile::kindVideo, 0);
        if (!video || !video->IsOpen() || video->GetRate() <= 0) {
            why = "cannot read the video of " + step.path;
            return false;
        }
        double frames = static_cast<double>(video->GetSampleCount()) *
                        Timecode::GetFramesPerSecond() / video->GetRate();
        video->Close();
        if (step.to > static_cast<int64_t>(std::floor(frames))) {
            why = step.path + " is only " + TimeText(static_cast<int64_t>(std::floor(frames))) +
                  " long";
            return false;
        }
        RefPtr<Scene> scene = new Scene(path, step.from, step.to - step.from);
        clip = new Clip(scene.get(), 0, 0);
        break;
    }
    case V::InsertGraphic: {
        RefPtr<GraphicAsset> graphic = new GraphicAsset(path, step.duration);
        clip = new Clip(graphic.get(), 0, 1);
        clip->SetDuration(step.duration);
        break;
    }
    case V::InsertSound: {
        RefPtr<WaveAsset> sound = new WaveAsset(path);
        if (sound->GetDuration() <= 0) {
            why = "cannot read the sound of " + step.path;
            return false;
        }
        clip = new Clip(sound.get(), 0, 3);
        if (step.hasRange) {
            if (step.to > sound->GetDuration()) {
                why = step.path + " is only " + TimeText(sound->GetDuration()) + " long";
                return false;
            }
            clip->SetTrimStart(step.from);
            clip->SetDuration(step.to - step.from);
        }
        break;
    }
    default: {
        RefPtr<Transition> effect = new Transition(step.effect, step.effectNumber);
        clip = new Clip(effect.get(), 0, 0);
        clip->SetDuration(step.duration);
        break;
    }
    }
    if (step.track >= 0 && !ClipListCommand::TrackAccepts(step.track, clip->GetAsset())) {
        why = TrackName(step.track) + " does not take " + KindName(step);
        return false;
    }
    if (!Fits(step.at, clip->GetDuration(), why))
        return false;
    RefPtr<ClipList> list = new ClipList;
    list->Add(clip.get());
    InsertClipsCommand insert(list.get(), step.at, step.track);
    if (!insert.CanExecute()) {
        why = "the movie does not take " + KindName(step) + " at " + TimeText(step.at);
        return false;
    }
    insert.Execute();
    return true;
}

bool EditScriptRunner::Select(const EditStep& step, std::string& why) {
    using V = EditStep::Verb;
    using Nav = MovieNavigationHooks;
    const int32_t count = List().GetCount();
    if (step.verb != V::SelectNone && count == 0) {
        why = "the movie has no clips";
        return false;
    }
    switch (step.verb) {
    case V::SelectClips:
    case V::SelectAdd:
    case V::SelectToggle: {
        if (step.range.last >= count) {
            why = "there is no " + ClipName(step.range.last) + " (the movie has " +
                  std::to_string(count) + (count == 1 ? " clip)" : " clips)");
            return false;
        }
        if (step.verb == V::SelectToggle) {
            MovieSelectViaMouseCommand(step.range.first, SelectionMap::kControlKey).Execute();
        } else if (step.verb == V::SelectClips && step.range.first == step.range.last) {
            MovieSelectViaMouseCommand(step.range.first, 0).Execute();
        } else {
            TrackerRect band = view_.CellRect(step.range.first);
            band.right = view_.CellRect(step.range.last).right;
            uint32_t keys = step.verb == V::SelectAdd ? SelectionMap::kShiftKey : 0;
            MovieSelectViaTrackerRectCommand(band, keys).Execute();
        }
        return true;
    }
    case V::SelectAt: {
        Clip* clip = List().FindAt(step.at, step.track, 0, 0);
        if (!clip) {
            why = "no clip plays at " + TimeText(step.at) +
                  (step.track >= 0 ? " on " + TrackName(step.track) : std::string());
            return false;
        }
        MovieSelectViaMouseCommand(PositionOf(List(), clip), 0, step.at).Execute();
        return true;
    }
    case V::SelectAll:
        MovieSelectViaKeyboardCommand(Nav::kKeyA, SelectionMap::kControlKey).Execute();
        return true;
    case V::SelectNone: {
        // A rubber band before the first cell catches no clip.
        TrackerRect band = view_.CellRect(0);
        band.left -= 2 * HeadlessMovieView::kCellWidth;
        band.right -= 2 * HeadlessMovieView::kCellWidth;
        MovieSelectViaTrackerRectCommand(band, 0).Execute();
        return true;
    }
    default: {
        static const uint32_t kKeys[] = {Nav::kKeyHome,  Nav::kKeyEnd,    Nav::kKeyLeft,
                                         Nav::kKeyRight, Nav::kKeyPageUp, Nav::kKeyPageDown};
        uint32_t key = kKeys[std::clamp(step.step, 0, 5)];
        MovieSelectViaKeyboardCommand(key, step.extend ? SelectionMap::kShiftKey : 0).Execute();
        return true;
    }
    }
}

bool EditScriptRunner::Trim(const EditStep& step, std::string& why) {
    using V = EditStep::Verb;
    const bool onTransition = step.verb == V::TransitionDuration;
    int32_t position = -1;
    Clip* clip = FirstSelected(onTransition, &position);
    if (!clip) {
        why = onTransition ? "no transition is selected"
                           : "no clip (other than a transition) is "
                             "selected";
        return false;
    }
    const std::string name = ClipName(position);
    const Time start = clip->GetStart();
    const int32_t track = clip->GetTrack();
    const Asset* asset = clip->GetAsset();
    const bool bounded = asset && asset->GetDuration() > 0;
    const int64_t magnitude = std::abs(static_cast<int64_t>(step.amount));

    switch (step.verb) {
    case V::TrimStart: {
        TrimStartCommand trim(start, step.amount, track);
        if (!Fits(0, magnitude, why))
            return false;
        if (!trim.CanExecute()) {
            why = "the start of " + name + " cannot move by " + TimeText(step.amount);
            return false;
        }
        trim.Execute();
        return true;
    }
    case V::TrimEnd: {
        TrimEndCommand trim(clip->GetEnd(), step.amount, track);
        if (!Fits(0, magnitude, why))
            return false;
        if (!trim.CanExecute()) {
            why = "the end of " + name + " cannot move by " + TimeText(step.amount);
            return false;
        }
        trim.Execute();
        return true;
    }
    case V::OverlapTrim: {
        // The cut may not take the clip outside what its source holds, nor
        // before the movie's start.
        int64_t trimStart = clip->GetTrimStart() + int64_t{step.amount};
        int64_t trimEnd = clip->GetTrimEnd() + int64_t{step.amount};
        bool inside =
            step.amount < 0
                ? start + int64_t{step.amount} >= 0 && (!bounded || trimStart >= asset->GetStart())
                : !bounded || trimEnd <= int64_t{asset->GetStart()} + asset->GetDuration();
        if (!inside) {
            why = "the " + std::string(step.amount < 0 ? "start" : "end") + " of " + name +
                  " cannot move by " + TimeText(step.amount);
            return false;
        }
        if (!Fits(0, magnitude, why))
            return false;
        OverlapTrimCommand trim(step.amount < 0 ? start : clip->GetEnd(), step.amount, track);
        if (!trim.CanExecute()) {
            why = "no cut to move at " + name;
            return false;
        }
        trim.Execute();
        return true;
    }
    case V::TransitionDuration: {
        int64_t length = clip->GetDuration() + int64_t{step.amount};
        if (length < 1) {
            why =
                "the transition (" + name + ") is only " + TimeText(clip->GetDuration()) + " long";
            return false;
        }
        if (!Fits(0, magnitude, why))
            return false;
        TransitionDurationCommand trim(start, step.amount, track);
        if (!trim.CanExecute()) {
            why = "the transition (" + name + ") cannot change by " + TimeText(step.amount);
            return false;
        }
        trim.Execute();
        return true;
    }
    case V::ResetStart:
    case V::ResetEnd: {
        bool atStart = step.verb == V::ResetStart;
        if (!Fits(0, bounded ? asset->GetDuration() : 0, why))
            return false;
        std::unique_ptr<TrimCommand> reset;
        if (atStart)
            reset.reset(new ResetTrimStartCommand(start, 0, track));
        else
            reset.reset(new ResetTrimEndCommand(start, 0, track));
        if (!reset->CanExecute()) {
            why = "the " + std::string(atStart ? "start" : "end") + " of " + name +
                  " is where its source " + (atStart ? "begins" : "ends") + " already";
            return false;
        }
        reset->Execute();
        return true;
    }
    default: {
        int64_t offset = int64_t{step.at} - start;
        SplitClipCommand split(
            start, static_cast<Time>(std::clamp<int64_t>(offset, -MaxMovieTime(), MaxMovieTime())),
            track);
        if (!split.CanExecute()) {
            why = TimeText(step.at) + " does not lie inside " + name + " (from " + TimeText(start) +
                  " to 2 frames before " + TimeText(clip->GetEnd()) + ")";
            return false;
        }
        split.Execute();
        return true;
    }
    }
}

} // namespace orvik
