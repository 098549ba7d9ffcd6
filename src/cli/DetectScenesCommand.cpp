#include "cli/CliCommand.h"

#include "app/OrvikApp.h"
#include "capture/AviSceneDetect.h"
#include "model/Timecode.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

namespace orvik {

namespace {

// Progress as a percentage on the terminal, rewritten in place.
class TerminalProgress : public Progress {
public:
    explicit TerminalProgress(bool show) : show_(show) {}
    void SetRange(int64_t low, int64_t high) override {
        low_ = low;
        high_ = high;
    }
    void SetPosition(int64_t position) override {
        if (!show_ || high_ <= low_)
            return;
        int percent = static_cast<int>((position - low_) * 100 / (high_ - low_));
        if (percent != shown_) {
            shown_ = percent;
            fprintf(stderr, "\rdetecting scenes: %3d%%", percent);
        }
    }
    void Finished() override {
        if (show_ && shown_ >= 0)
            fprintf(stderr, "\rdetecting scenes: done\n");
    }

private:
    bool show_;
    int64_t low_ = 0, high_ = 0;
    int shown_ = -1;
};

bool ParseFrame(const std::string& text, int32_t& out) {
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > INT32_MAX)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

int RunDetectScenes(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik detect-scenes [--json] [--first N] [--last N] [--quiet] VIDEO\n\n"
               "Finds where new scenes begin in a captured video file (a hard cut, or a dip\n"
               "into darkness) and prints one line per scene: its number, its first frame and\n"
               "that frame's timecode. The first scene starts at the first frame looked at.\n\n"
               "  --first N   start at frame N (frames are counted from 0)\n"
               "  --last N    stop before frame N\n"
               "  --json      print {\"frames\": …, \"cuts\": [...]} instead\n"
               "  --quiet     no progress on standard error\n");
        return 0;
    }
    bool json = false, quiet = false;
    int32_t first = 0, last = -1;
    std::string path;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--first" || a == "--last") {
            int32_t& target = a == "--first" ? first : last;
            if (i + 1 >= args.size() || !ParseFrame(args[i + 1], target))
                return CliFail("detect-scenes: " + a + " takes a frame number");
            ++i;
        } else if (!a.empty() && a[0] == '-') {
            return CliFail("detect-scenes: unknown option " + a);
        } else if (path.empty()) {
            path = a;
        } else {
            return CliFail("detect-scenes takes one video file");
        }
    }
    if (path.empty())
        return CliFail("detect-scenes: which video file? (orvik detect-scenes --help)");

    OrvikApp::Options options;
    options.headless = true;
    options.echoMessages = true;
    OrvikApp app(options);
    if (!app.InitInstance()) {
        app.ExitInstance();
        return 1; // the reason is on stderr already
    }
    AviSceneDetect detect(path);
    if (!detect.IsOpen()) {
        app.ExitInstance();
        return CliFail("detect-scenes: cannot read video from " + path);
    }
    detect.SetFirstFrame(first);
    if (last >= 0)
        detect.SetLastFrame(last);
    else
        detect.SetLastFrame(detect.GetFrameCount());
    TerminalProgress progress(!quiet);
    detect.Run(progress);

    const std::vector<int32_t>& cuts = detect.GetCuts();
    if (json) {
        nlohmann::ordered_json out;
        out["file"] = path;
        out["frames"] = detect.GetCount();
        out["framesPerSecond"] = detect.framesPerSecond;
        out["cuts"] = cuts;
        printf("%s\n", out.dump(2).c_str());
    } else {
        for (size_t i = 0; i < cuts.size(); ++i)
            printf("%3zu %8d  %s\n", i + 1, cuts[i],
                   Timecode::FormatTimecode(cuts[i], detect.framesPerSecond, true).c_str());
    }
    return app.ExitInstance();
}

const CliCommandRegistrar registrar{{"detect-scenes", "detect-scenes [--json] VIDEO",
                                     "find where scenes begin in a captured video file",
                                     &RunDetectScenes}};

} // namespace

} // namespace orvik
