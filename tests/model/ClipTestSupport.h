// Helpers for the clip and clip-list tests: small movies built clip by clip,
// and a look at what an operation wrote to the diagnostics log.
#pragma once

#include "app/DiagnosticsLog.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Scene.h"
#include "model/Transition.h"
#include "model/WaveAsset.h"
#include "support/TestHome.h"

#include <string>

namespace orvik::test {

// Captures what is logged from its construction to Text().
class LogCapture {
public:
    LogCapture() {
        OpenLog(Home(), 0);
        LogMessage("@@ capture @@\n");
    }
    std::string Text() {
        std::string path = LogPath();
        CloseLog();
        std::string all = ReadFile(path);
        size_t at = all.find("@@ capture @@\n");
        return at == std::string::npos ? all : all.substr(at + 14);
    }
};

// A movie under construction. Clips must be added in list order (by track,
// then by start); video clips are laid end to end.
class MovieBuilder {
public:
    RefPtr<ClipList> list = new ClipList;

    // A scene of `duration` frames taken from `trim` in a captured file of
    // `assetDuration` frames at `assetStart`.
    Clip* Video(Time duration, Time trim = 0, Time assetStart = 0, Time assetDuration = 100000,
                const std::string& file = "/videos/tape1.avi") {
        RefPtr<Scene> scene = new Scene(file, assetStart, assetDuration);
        Clip* c = new Clip(scene.get(), videoEnd_, 0);
        c->SetDuration(duration);
        c->SetTrimStart(assetStart + trim);
        videoEnd_ += duration;
        list->Add(c);
        return c;
    }
    // A transition on `track`, starting `duration` frames before the end of
    // the video laid so far (on track 0).
    Clip* Transition(Time duration, int32_t track = 0, int32_t effect = 1, Time start = -1) {
        RefPtr<orvik::Transition> t = new orvik::Transition(effect, 6301);
        Clip* c = new Clip(t.get(), start >= 0 ? start : videoEnd_ - duration, track);
        c->SetDuration(duration);
        if (track == 0)
            videoEnd_ -= duration;
        list->Add(c);
        return c;
    }
    // A title or picture: a graphic without a duration of its own.
    Clip* Title(Time start, Time duration, bool pinned = true, int32_t track = 1) {
        RefPtr<GraphicAsset> g = new GraphicAsset("/pictures/title.ttl", 0);
        Clip* c = new Clip(g.get(), start, track);
        c->SetDuration(duration);
        c->SetPinned(pinned);
        list->Add(c);
        return c;
    }
    // A sound effect from `trim` in a sound file of `assetDuration` frames.
    Clip* Sound(Time start, Time duration, Time trim = 0, Time assetDuration = 100000,
                bool pinned = true, int32_t track = 3) {
        RefPtr<WaveAsset> w = new WaveAsset("/sounds/bang.wav", 0, assetDuration);
        Clip* c = new Clip(w.get(), start, track);
        c->SetDuration(duration);
        c->SetTrimStart(trim);
        c->SetPinned(pinned);
        list->Add(c);
        return c;
    }
    void Fix() { list->FixTimes(nullptr, true, false, false); }

private:
    Time videoEnd_ = 0;
};

} // namespace orvik::test
