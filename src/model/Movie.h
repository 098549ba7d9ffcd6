#pragma once

#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <map>
#include <string>

namespace orvik {

class Archive;
class ClipList;
class MovieView;

// The one document of the application: the movie being edited. Every clip
// of every track lives in its single clip list; a clip's track number says
// where it sits. Opening and saving read and write the project file.
class Movie : public RefObject {
    ORVIK_DECLARE_SERIAL(Movie)
public:
    // The four characters "orv " as the file's first DWORD.
    static constexpr uint32_t kIdentifier = 0x2076726F;
    static constexpr uint32_t kSchemaWord = 0x80000001;

    Movie();
    ~Movie() override;

    // The application's document, or null.
    static Movie* Current();
    void MakeCurrent();

    // The windows and player that show the movie (not owned; null for none).
    void SetView(MovieView* view) { view_ = view; }
    MovieView& View() const;

    ClipList* GetClipList() const { return clipList_.get(); }
    Time GetDuration() const;
    Time GetPosition() const;
    void SetPosition(Time time);

    const std::string& GetPathName() const { return pathName_; }
    const std::string& GetTitle() const { return title_; }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified);
    bool IsSaving() const { return saving_; }

    double GetViewStart() const { return viewStart_; }
    double GetViewSpan() const { return viewSpan_; }
    void SetViewRange(double start, double span);
    void RestoreTimelineView();

    // Empty movie, no path (the default title in the movie folder), not
    // modified.
    void ResetMovie();
    // Writes the project beside the old file and replaces it only when the
    // whole movie is written; the path and modified flag change only then.
    bool SaveToFile(const std::string& path);
    // Reads a project. On success the movie holds it and takes the path; on
    // failure the movie is left as it was before the call.
    bool OpenFromFile(const std::string& path);
    // Why the last open or save failed (for messages).
    const std::string& LastError() const { return lastError_; }

    void Serialize(Archive& ar) override;

    // Path handling: a path without a folder goes into the movie folder.
    void SetPath(const std::string& path, bool addToRecent = true);
    static std::string MovieFolder();
    static std::string DefaultTitle();

    // The frame-size warning: noted by the video track view, shown once per
    // movie.
    void NoteFrameSizeMismatch();
    void ShowFrameSizeWarning();
    int GetFrameSizeWarning() const { return frameSizeWarning_; }

    bool CanPlace(const ClipList& list, Time time, int track, std::string& reason);
    // Gives every sound-carrying clip an envelope with points at its first
    // and last frame (the player calls it before playback).
    void EnsureVolumeLists();

    // After an open: clips whose scene or sound file has moved are pointed at
    // the file's new place, asking the user where needed.
    void RelinkMissingMedia();
    std::string FindMissingFile(const std::string& path, int kind);

private:
    void ReadBody(Archive& ar, ClipList& into, std::string& path, double& start, double& span);

    RefPtr<ClipList> clipList_;
    double viewStart_ = 0;
    double viewSpan_ = 0;
    bool saving_ = false;
    int frameSizeWarning_ = 0;
    std::string pathName_;
    std::string title_;
    bool modified_ = false;
    MovieView* view_ = nullptr;
    std::string lastError_;
    // Missing-media relinking keeps its answers for the whole run: old path
    // to new path (empty when the user gave up), and the paths chosen.
    std::map<std::string, std::string> movedTo_;
    std::map<std::string, bool> accepted_;
    // The folder the user picked for a missing file, for later searches.
    std::string chosenFolder_;
};

// Gives every scene of one capture file the same source tape; with
// `loadSync` the tape's sync comes from its scene file, else it is dropped.
void UnifyTapes(ClipList& list, bool loadSync);

} // namespace orvik
