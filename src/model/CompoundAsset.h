#pragma once

#include "model/Scene.h"

#include <functional>
#include <memory>

namespace orvik {

class ClipList;

// Renders a group of clips into one video file (the file maker of movie
// output does it). Installed by movie output; without one a group cannot be
// rendered.
class GroupRenderer {
public:
    virtual ~GroupRenderer() = default;
    // Starts rendering `clips` from 0 to `end` into `path`.
    virtual bool Start(const std::string& path, ClipList& clips, Time end) = 0;
    virtual bool IsRunning() = 0;
    // Ends a finished render; false when it failed.
    virtual bool Finish() = 0;
    virtual void Stop() = 0;
    virtual Time Progress() = 0;

    using Factory = std::function<std::unique_ptr<GroupRenderer>()>;
    static void SetFactory(Factory factory);
    static std::unique_ptr<GroupRenderer> Make();
};

// A group of clips rendered into one video file so that it plays as a single
// scene. Its file is a working file in the captured-video folder.
class CompoundAsset : public Scene {
    ORVIK_DECLARE_SERIAL(CompoundAsset)
public:
    CompoundAsset();
    explicit CompoundAsset(ClipList* clips);
    CompoundAsset(const CompoundAsset& other);
    ~CompoundAsset() override;

    void Serialize(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;
    bool IsEqual(const Asset* other) const override;
    std::string GetKindName(const Clip*) const override { return "CompoundAsset"; }

    ClipList* GetClips() const { return clips_.get(); }
    void SetClips(ClipList* clips);

    // Starts rendering into a new working file; false when it cannot start.
    bool Render();
    // True while rendering; when it has finished, ends it and answers false.
    bool PollRender();
    void CancelRender();
    Time GetRenderProgress();

    // Whether this group holds `asset`, directly or through nested groups.
    bool Contains(const Asset* asset) const;

private:
    void DeleteRenderedFile();

    RefPtr<ClipList> clips_;
    std::unique_ptr<GroupRenderer> maker_;
};

} // namespace orvik
