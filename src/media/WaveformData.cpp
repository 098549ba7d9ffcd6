#include "media/WaveformData.h"

#include "app/DiagnosticsLog.h"
#include "media/MediaFile.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/Timecode.h"
#include "platform/gdi/DrawContext.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

// A column number from a computed value: times and widths read from a
// project may make anything, and columns are 32-bit.
int32_t ToColumn(double value) {
    if (!(value > 0))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

int16_t ToSample(int32_t v) {
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

} // namespace

// --- Testing what is wanted --------------------------------------------------------------

int WaveformData::Prepare(const Rect& visible, int32_t rowWidth, double visibleSeconds,
                          double sourceSeconds, double trimSeconds) {
    visible_ = visible;
    if (visible.left >= rowWidth || visible.right <= 0)
        return 0;
    if (state_.load() == computing)
        return 2;
    // A row without width or a view without time shows no columns (and
    // would divide by zero below).
    if (rowWidth <= 0 || !(visibleSeconds > 0) || !std::isfinite(visibleSeconds) ||
        !std::isfinite(sourceSeconds) || !std::isfinite(trimSeconds)) {
        state_.store(idle);
        return 0;
    }
    visibleSeconds_ = visibleSeconds;
    rowWidth_ = rowWidth;
    sourceSeconds_ = std::max(sourceSeconds, 0.0);
    const double s = SecondsPerColumn();
    const int64_t first =
        int64_t{ToColumn(trimSeconds / s)} + (visible.left < 0 ? -int64_t{visible.left} : 0);
    neededFirst_ =
        static_cast<int32_t>(std::min<int64_t>(first, std::numeric_limits<int32_t>::max()));
    if (!DataExists()) {
        state_.store(wanted);
        return 1;
    }
    state_.store(idle);
    return 0;
}

int WaveformData::Prepare(const Clip& clip, const Rect& visible, int32_t rowWidth,
                          double viewSpanFrames) {
    const double fps = Timecode::GetFramesPerSecond();
    const Asset* asset = clip.GetAsset();
    const double source = asset ? asset->GetDuration() / fps : 0;
    return Prepare(visible, rowWidth, viewSpanFrames / fps, source, clip.GetTrimStart() / fps);
}

double WaveformData::SecondsPerColumn() const {
    return visibleSeconds_ / rowWidth_;
}

bool WaveformData::DataExists() {
    const double s = SecondsPerColumn();
    totalColumns_ = static_cast<int32_t>(std::min<int64_t>(
        int64_t{ToColumn(sourceSeconds_ / s)} + 1, std::numeric_limits<int32_t>::max()));
    int64_t needed = int64_t{std::min(rowWidth_, visible_.right)} - std::max(visible_.left, 0);
    if (totalColumns_ < needed) {
        LogMessage("WaveformData::DataExists needed: %d total: %d\n", static_cast<int>(needed),
                   totalColumns_);
        needed = totalColumns_;
    }
    std::lock_guard<std::mutex> hold(lock_);
    if (s != scale_) {
        // The zoom changed: every column is another stretch of sound now.
        chunks_.clear();
        firstColumn_ = 0;
        scale_ = s;
        return false;
    }
    if (neededFirst_ >= firstColumn_)
        return CachedEndLocked() >= int64_t{neededFirst_} + needed;
    return false;
}

// --- Growing the cache -------------------------------------------------------------------

int32_t WaveformData::CachedEndLocked() const {
    int64_t end = firstColumn_;
    for (const RefPtr<WrChunk>& c : chunks_)
        end += c->GetCount();
    return static_cast<int32_t>(std::min<int64_t>(end, std::numeric_limits<int32_t>::max()));
}

bool WaveformData::PlanChunk(int32_t& first, int32_t& count, int32_t width, bool& front) const {
    int64_t start, end;
    front = !chunks_.empty() && first < firstColumn_;
    if (front) {
        // Scrolled left of the cache: one row width in front of it.
        start = std::max<int64_t>(int64_t{firstColumn_} - width, 0);
        end = firstColumn_;
    } else {
        const int64_t cachedEnd = chunks_.empty() ? first : CachedEndLocked();
        start = cachedEnd;
        end = std::min(int64_t{first} + count, cachedEnd + width);
        end = std::min<int64_t>(end, std::numeric_limits<int32_t>::max());
    }
    if (end - start <= 0) {
        LogMessage("WaveformData::CreateDataSlots: invalid count\n");
        return false;
    }
    first = static_cast<int32_t>(start);
    count = static_cast<int32_t>(end - start);
    return true;
}

void WaveformData::AddChunk(const RefPtr<WrChunk>& chunk, int32_t first, bool front) {
    if (front) {
        chunks_.push_front(chunk);
        firstColumn_ = first;
        return;
    }
    if (chunks_.empty())
        firstColumn_ = first;
    chunks_.push_back(chunk);
}

WrChunk* WaveformData::CreateDataSlots(int32_t& first, int32_t& count, int32_t width) {
    std::lock_guard<std::mutex> hold(lock_);
    bool front = false;
    if (!PlanChunk(first, count, width, front))
        return nullptr;
    RefPtr<WrChunk> chunk = new WrChunk(count);
    AddChunk(chunk, first, front);
    return chunk.get();
}

void WaveformData::Compute(MediaFile& file) {
    int32_t first = neededFirst_;
    int32_t count = totalColumns_;
    bool front = false;
    double s;
    {
        std::lock_guard<std::mutex> hold(lock_);
        s = scale_;
        if (!(s > 0) || !PlanChunk(first, count, rowWidth_, front))
            return;
    }
    // The peaks are read outside the lock into a chunk nobody else sees
    // yet; the drawing goes on with what is cached meanwhile.
    std::optional<WaveFormat> format = file.GetWaveFormat();
    const double rate = format && format->samplesPerSec ? format->samplesPerSec : file.GetRate();
    const double f = s * rate;
    RefPtr<WrChunk> chunk = new WrChunk(count);
    for (int32_t i = 0; i < count; ++i) {
        const double c = static_cast<double>(first) + i;
        const int64_t from = static_cast<int64_t>(c * f + 0.5);
        const int64_t to = static_cast<int64_t>((c + 1) * f + 0.5) - 1;
        int32_t min = 0, max = 0;
        file.GetPeak(from, to, min, max);
        chunk->slots[static_cast<size_t>(i)] = {ToSample(min), ToSample(max)};
    }
    std::lock_guard<std::mutex> hold(lock_);
    AddChunk(chunk, first, front);
}

// --- Drawing -------------------------------------------------------------------------------

int32_t WaveformData::RowY(int32_t value, int32_t h) {
    return static_cast<int32_t>(h - int64_t{h} * (int64_t{value} + 32768) / kDrawRange);
}

bool WaveformData::SetPosition(int32_t column) {
    int64_t index = int64_t{column} - firstColumn_;
    if (index >= 0) {
        for (size_t k = 0; k < chunks_.size(); ++k) {
            const int32_t n = chunks_[k]->GetCount();
            if (index < n) {
                cursorChunk_ = k;
                cursorSlot_ = static_cast<int32_t>(index) - 1;
                cursorIndex_ = column - 1;
                return true;
            }
            index -= n;
        }
    }
    LogMessage("WaveformData::SetPosition: oops!\n");
    return false;
}

bool WaveformData::NextSlot(WrChunk::Slot& slot) {
    while (cursorChunk_ < chunks_.size()) {
        const WrChunk& chunk = *chunks_[cursorChunk_];
        if (cursorSlot_ + 1 < chunk.GetCount()) {
            ++cursorSlot_;
            ++cursorIndex_;
            slot = chunk.slots[static_cast<size_t>(cursorSlot_)];
            return true;
        }
        ++cursorChunk_;
        cursorSlot_ = -1;
    }
    return false;
}

void WaveformData::Draw(DrawContext& context, const Rect& clipRect, const Rect& rowRect) {
    std::lock_guard<std::mutex> hold(lock_);
    // Nothing computed yet is no fault: the waveform thread will get there.
    if (chunks_.empty() || !SetPosition(neededFirst_))
        return;
    const int32_t h = rowRect.bottom - rowRect.top - 1;
    if (h < 0)
        return;
    // A column per pixel from the clip's first visible pixel, up to the
    // clip's end or the row's, and no further than the sound that was read:
    // columns past the cache are not drawn as copies of its last one.
    const int end = std::min(rowRect.right, clipRect.right);
    WrChunk::Slot slot;
    for (int x = std::max(clipRect.left, 0); x < end; ++x) {
        if (!NextSlot(slot))
            break;
        if (x < rowRect.left)
            continue;
        context.MoveTo(x, rowRect.top + RowY(slot.max, h));
        context.LineTo(x, rowRect.top + RowY(slot.min, h) + 1);
    }
}

// --- What the cache holds ------------------------------------------------------------------

double WaveformData::GetScale() const {
    std::lock_guard<std::mutex> hold(lock_);
    return scale_;
}

int32_t WaveformData::GetFirstColumn() const {
    std::lock_guard<std::mutex> hold(lock_);
    return firstColumn_;
}

int32_t WaveformData::CachedColumns() const {
    std::lock_guard<std::mutex> hold(lock_);
    return CachedEndLocked() - firstColumn_;
}

int WaveformData::ChunkCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<int>(chunks_.size());
}

bool WaveformData::GetSlot(int32_t column, WrChunk::Slot& slot) const {
    std::lock_guard<std::mutex> hold(lock_);
    int64_t index = int64_t{column} - firstColumn_;
    if (index < 0)
        return false;
    for (const RefPtr<WrChunk>& c : chunks_) {
        if (index < c->GetCount()) {
            slot = c->slots[static_cast<size_t>(index)];
            return true;
        }
        index -= c->GetCount();
    }
    return false;
}

} // namespace orvik
