#pragma once

#include "media/WrChunk.h"
#include "model/RefPtr.h"
#include "platform/gdi/Rect.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

namespace orvik {

class Clip;
class DrawContext;
class MediaFile;

// A sound clip's waveform cache: for each pixel column of the clip in its
// track row, the lowest and highest sample of the sound the column covers,
// kept in chunks in column order. Columns are counted in the source's own
// coordinates (column k covers k × s to (k + 1) × s seconds of the source,
// s = seconds per column), so scrolling keeps what was computed and the
// cache grows by at most one row width per computation, towards the side
// where columns are missing. A change of zoom drops it all.
//
// Threads: Prepare, DataExists and Draw run on the user-interface thread;
// Compute runs on the waveform thread while the state is `computing`, during
// which Prepare reports the state and touches nothing else. The chunks are
// guarded by the cache's own lock, so drawing may go on meanwhile.
class WaveformData {
public:
    enum State : int32_t { idle = 0, wanted = 1, computing = 2 };

    // The bottom value of the drawing scale: a little more than 16 bits, so
    // the loudest samples stay a little below the row's top.
    static constexpr int32_t kDrawRange = 0x11000;

    WaveformData() = default;
    WaveformData(const WaveformData&) = delete;
    WaveformData& operator=(const WaveformData&) = delete;

    // Takes in where the clip shows: `visible` is its extent in its track
    // row (left = pixel of its start, right = pixel of its end; top and
    // bottom of the row), `rowWidth` the row's width in pixels,
    // `visibleSeconds` the timeline's visible span in seconds, `sourceSeconds`
    // the length of the clip's sound source and `trimSeconds` its trim start.
    // Answers 0 when there is nothing to do (the clip lies outside the row,
    // or the cache covers what is visible), 1 when data is wanted (the state
    // becomes `wanted`) and 2 while the waveform thread computes it.
    int Prepare(const Rect& visible, int32_t rowWidth, double visibleSeconds, double sourceSeconds,
                double trimSeconds);
    // The same with the clip's own times (frames) and the view span.
    int Prepare(const Clip& clip, const Rect& visible, int32_t rowWidth, double viewSpanFrames);

    // Whether the cache covers the visible columns; drops it all when the
    // seconds per column changed.
    bool DataExists();

    // Makes the chunk for the next computation (before the cache when
    // `first` lies before it, else after it), puts it in the list and
    // returns it; `first` and `count` become what it covers. Null (logged)
    // when there is nothing to cover.
    WrChunk* CreateDataSlots(int32_t& first, int32_t& count, int32_t width);

    // Fills the wanted columns from the sound of `file`.
    void Compute(MediaFile& file);

    // Draws the cached columns of the clip (`clipRect`, in the context's
    // coordinates) into its row (`rowRect`) with the context's pen, one
    // vertical line per column, up to the clip's end or the cache's end,
    // whichever comes first.
    void Draw(DrawContext& context, const Rect& clipRect, const Rect& rowRect);

    // The drawing position of a sample value in a row `h` + 1 pixels high.
    static int32_t RowY(int32_t value, int32_t h);

    State GetState() const { return state_.load(); }
    void SetState(State state) { state_.store(state); }

    // What the cache holds (tests, the timeline's status).
    double GetScale() const;
    int32_t GetFirstColumn() const;
    int32_t CachedColumns() const;
    int ChunkCount() const;
    // The slot of source column `column`; false when it is not cached.
    bool GetSlot(int32_t column, WrChunk::Slot& slot) const;

    int32_t GetNeededFirst() const { return neededFirst_; }
    int32_t GetTotalColumns() const { return totalColumns_; }
    const Rect& GetVisible() const { return visible_; }

private:
    // The columns the next chunk covers, and whether it goes in front.
    // Called with lock_ held.
    bool PlanChunk(int32_t& first, int32_t& count, int32_t width, bool& front) const;
    void AddChunk(const RefPtr<WrChunk>& chunk, int32_t first, bool front);
    int32_t CachedEndLocked() const;
    double SecondsPerColumn() const;
    // Puts the drawing cursor one slot before `column`; false (logged) when
    // the column is not cached.
    bool SetPosition(int32_t column);
    // Steps the cursor to the next slot; false at the end of the cache.
    bool NextSlot(WrChunk::Slot& slot);

    mutable std::mutex lock_; // the chunks, firstColumn and scale
    std::deque<RefPtr<WrChunk>> chunks_;
    double scale_ = 0;
    int32_t firstColumn_ = 0;
    // Drawing cursor: chunk, slot in it (−1: before its first slot).
    size_t cursorChunk_ = 0;
    int32_t cursorSlot_ = -1;
    int32_t cursorIndex_ = 0;

    Rect visible_;
    std::atomic<State> state_{idle};
    double visibleSeconds_ = 0;
    double sourceSeconds_ = 0;
    int32_t rowWidth_ = 0;
    int32_t neededFirst_ = 0;
    int32_t totalColumns_ = 0;
};

} // namespace orvik
