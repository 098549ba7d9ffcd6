#include "media/WaveformManager.h"

#include "app/DiagnosticsLog.h"
#include "media/MediaFile.h"
#include "media/WaveformData.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace orvik {

// Everything the thread uses. The thread holds it too, so a thread that
// does not stop in time keeps it alive until it ends.
struct WaveformManager::Shared {
    struct Job {
        RefPtr<Clip> clip;
        std::shared_ptr<WaveformData> cache;
        RefPtr<MediaFile> file;
    };

    std::mutex lock; // the queue, the run flag, the event and the caches' states
    std::condition_variable wake;
    std::condition_variable stopped;
    std::deque<Job> queue;
    bool event = false; // set: the thread has work to look for
    int run = 1;        // 1 running, 2 asked to stop, 0 stopped
    bool computing = false;
    WaveformRows* rows = nullptr; // null once the manager is gone
    std::thread thread;

    void Loop() {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return event; });
            if (run != 1)
                break;
            if (queue.empty()) {
                event = false;
                continue;
            }
            Job job = std::move(queue.front());
            queue.pop_front();
            job.cache->SetState(WaveformData::computing);
            computing = true;
            hold.unlock();
            job.cache->Compute(*job.file);
            hold.lock();
            computing = false;
            job.cache->SetState(WaveformData::idle);
            if (rows)
                rows->RedrawClip(*job.clip);
        }
        run = 0;
        stopped.notify_all();
    }
};

WaveformManager::WaveformManager(WaveformRows& rows)
    : shared_(std::make_shared<Shared>()), rows_(rows) {
    shared_->rows = &rows;
    std::shared_ptr<Shared> shared = shared_;
    shared_->thread = std::thread([shared] { shared->Loop(); });
}

WaveformManager::~WaveformManager() {
    std::unique_lock<std::mutex> hold(shared_->lock);
    shared_->run = 2;
    shared_->event = true;
    shared_->wake.notify_all();
    bool ended = shared_->stopped.wait_for(hold, std::chrono::milliseconds(kStopTimeoutMs),
                                           [this] { return shared_->run == 0; });
    if (!ended) {
        // A computation that does not end: leave it running on what it
        // holds, and forget the rows it would tell.
        LogMessage("WaveformManager: Thread shutdown timeout\n");
        shared_->rows = nullptr;
        hold.unlock();
        shared_->thread.detach();
        return;
    }
    hold.unlock();
    shared_->thread.join();
}

void WaveformManager::Queue(Movie& movie) {
    ClipList* list = movie.GetClipList();
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->queue.clear();
    if (list) {
        const double span = rows_.ViewSpanFrames();
        // The marked clips (what the user works on) first, then the others.
        for (int pass = 0; pass < 2; ++pass) {
            for (const RefPtr<Clip>& clip : list->GetClips()) {
                if (clip->IsMarked() != (pass == 0))
                    continue;
                Asset* asset = clip->GetAsset();
                if (!asset || !asset->HasWaveform())
                    continue;
                MediaFile* file = asset->GetAudioFile();
                if (!file || !file->IsOpen())
                    continue;
                Rect visible;
                int32_t rowWidth = 0;
                if (!rows_.Locate(*clip, visible, rowWidth))
                    continue;
                std::shared_ptr<WaveformData> cache = clip->GetWaveform();
                if (cache->Prepare(*clip, visible, rowWidth, span) != 1)
                    continue;
                shared_->queue.push_back({clip, cache, file});
            }
        }
    }
    if (!shared_->queue.empty()) {
        shared_->event = true;
        shared_->wake.notify_all();
    }
}

int WaveformManager::QueuedCount() const {
    std::lock_guard<std::mutex> hold(shared_->lock);
    return static_cast<int>(shared_->queue.size());
}

bool WaveformManager::IsBusy() const {
    std::lock_guard<std::mutex> hold(shared_->lock);
    return shared_->computing || !shared_->queue.empty();
}

} // namespace orvik
