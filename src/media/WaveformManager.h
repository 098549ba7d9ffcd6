#pragma once

#include "model/RefPtr.h"
#include "platform/gdi/Rect.h"

#include <cstdint>
#include <memory>

namespace orvik {

class Clip;
class Movie;

// What the timeline's track rows tell the waveform cache (the timeline view
// installs one).
class WaveformRows {
public:
    virtual ~WaveformRows() = default;

    // Where `clip` shows its sound: its extent in the row (left = pixel of
    // its start, right = pixel of its end, relative to the row's left edge;
    // top and bottom of the row) and the row's width. The sound of the video
    // track's clips shows in the video track's audio row. False when no row
    // shows the clip's sound. User-interface thread.
    virtual bool Locate(const Clip& clip, Rect& visible, int32_t& rowWidth) = 0;
    // The timeline's visible span in frames. User-interface thread.
    virtual double ViewSpanFrames() const = 0;
    // The waveform of `clip` is ready: its row should repaint it. Called on
    // the waveform thread with the manager's lock held: post a repaint,
    // never draw here.
    virtual void RedrawClip(const Clip& /*clip*/) {}
};

// Computes the waveforms of the movie's sound clips on one background
// thread, the marked clips first. The thread starts with the manager and
// stops when it is destroyed.
class WaveformManager {
public:
    // The maximum wait for the thread at destruction.
    static constexpr int kStopTimeoutMs = 10000;

    // `rows` must outlive the manager.
    explicit WaveformManager(WaveformRows& rows);
    ~WaveformManager();
    WaveformManager(const WaveformManager&) = delete;
    WaveformManager& operator=(const WaveformManager&) = delete;

    // Rebuilds the queue from the clips of `movie` whose waveform is wanted
    // and wakes the thread. User-interface thread.
    void Queue(Movie& movie);
    // Clips waiting (the one being computed is no longer counted).
    int QueuedCount() const;
    // Whether the thread is computing or has clips waiting.
    bool IsBusy() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    WaveformRows& rows_;
};

} // namespace orvik
