#include "cli/CliCommand.h"

#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "model/RefObject.h"
#include "platform/fs/Places.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace orvik {

namespace {

using Json = nlohmann::ordered_json;

// Streams of one kind looked at, at most.
constexpr int kMaxStreams = 100;

std::string CodeText(uint32_t code) {
    if (code == 0)
        return "";
    std::string s;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        if (c < 32 || c >= 127) {
            // Not a four-character code (sound streams often carry 1).
            char hex[16];
            snprintf(hex, sizeof hex, "0x%08x", code);
            return hex;
        }
        s += c;
    }
    return s;
}

const char* TagName(uint16_t tag) {
    switch (tag) {
    case WaveFormat::kPcm: return "PCM";
    case WaveFormat::kMsAdpcm: return "MS ADPCM";
    case WaveFormat::kFloat: return "float";
    case WaveFormat::kALaw: return "A-law";
    case WaveFormat::kMuLaw: return "mu-law";
    case WaveFormat::kImaAdpcm: return "IMA ADPCM";
    case WaveFormat::kExtensible: return "extensible";
    default: return "other";
    }
}

Json FormatJson(const WaveFormat& f) {
    Json j;
    j["tag"] = f.tag;
    j["tagName"] = TagName(f.tag);
    if (f.tag == WaveFormat::kExtensible)
        j["subformat"] = f.EffectiveTag();
    j["channels"] = f.channels;
    j["samplesPerSec"] = f.samplesPerSec;
    j["avgBytesPerSec"] = f.avgBytesPerSec;
    j["blockAlign"] = f.blockAlign;
    j["bitsPerSample"] = f.bitsPerSample;
    j["extraBytes"] = f.extra.size();
    return j;
}

Json StreamJson(MediaFile& file) {
    Json j;
    j["kind"] = file.GetKind() == MediaFile::kindVideo ? "video" : "sound";
    j["index"] = file.GetStreamIndex();
    j["compression"] = CodeText(file.GetCompression());
    Rect r = file.GetFrameRect();
    j["frameRect"] = {r.left, r.top, r.right, r.bottom};
    j["rate"] = file.GetRate();
    j["firstSample"] = file.GetFirstSample();
    j["sampleCount"] = file.GetSampleCount();
    j["dataRate"] = file.GetDataRate();
    if (std::optional<WaveFormat> f = file.GetWaveFormat())
        j["waveFormat"] = FormatJson(*f);
    else
        j["waveFormat"] = nullptr;
    return j;
}

void PrintText(const std::string& path, const Json& streams) {
    printf("%s\n", path.c_str());
    for (const Json& s : streams) {
        printf("%s stream %d\n", s["kind"].get<std::string>().c_str(), s["index"].get<int>());
        std::string code = s["compression"].get<std::string>();
        printf("  compression:   %s\n", code.empty() ? "-" : code.c_str());
        const Json& r = s["frameRect"];
        printf("  frame rect:    %d %d %d %d\n", r[0].get<int>(), r[1].get<int>(), r[2].get<int>(),
               r[3].get<int>());
        printf("  rate:          %.6g per second\n", s["rate"].get<double>());
        printf("  first sample:  %lld\n", static_cast<long long>(s["firstSample"].get<int64_t>()));
        printf("  sample count:  %lld\n", static_cast<long long>(s["sampleCount"].get<int64_t>()));
        printf("  data rate:     %lld bytes per second\n",
               static_cast<long long>(s["dataRate"].get<int64_t>()));
        const Json& f = s["waveFormat"];
        if (f.is_null()) {
            printf("  wave format:   -\n");
        } else {
            printf("  wave format:   tag %u (%s), %u channels, %u Hz, %u bytes per second, "
                   "block align %u, %u bits, %zu extra bytes\n",
                   f["tag"].get<unsigned>(), f["tagName"].get<std::string>().c_str(),
                   f["channels"].get<unsigned>(), f["samplesPerSec"].get<unsigned>(),
                   f["avgBytesPerSec"].get<unsigned>(), f["blockAlign"].get<unsigned>(),
                   f["bitsPerSample"].get<unsigned>(), f["extraBytes"].get<size_t>());
        }
    }
}

bool ParseFrame(const std::string& text, int64_t& value) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (end == s || *end != '\0' || errno == ERANGE || v < 0)
        return false;
    value = v;
    return true;
}

int Probe(const std::string& path, bool json, bool wantFrame, int64_t frame,
          const std::string& out) {
    if (!FileExists(path))
        return CliFail("cannot probe " + path + ": no such file");
    Json streams = Json::array();
    RefPtr<MediaFile> video;
    for (int32_t kind : {MediaFile::kindVideo, MediaFile::kindAudio}) {
        for (int32_t i = 0; i < kMaxStreams; ++i) {
            RefPtr<MediaFile> file = OpenMediaFile(path, kind, i);
            if (!file->IsOpen())
                break;
            streams.push_back(StreamJson(*file));
            if (kind == MediaFile::kindVideo && i == 0)
                video = file;
        }
    }
    if (streams.empty())
        return CliFail("cannot probe " + path + ": not an AVI or WAVE file that can be read");

    if (wantFrame) {
        if (!video)
            return CliFail(path + " has no video stream to take frame " + std::to_string(frame) +
                           " from");
        if (frame >= video->GetSampleCount())
            return CliFail(path + " has " + std::to_string(video->GetSampleCount()) +
                           " frames; there is no frame " + std::to_string(frame));
        RefPtr<Dib> picture = video->GetFrame(frame);
        if (!picture)
            return CliFail("cannot decode frame " + std::to_string(frame) + " of " + path);
        if (!picture->SaveToFile(out))
            return CliFail("cannot write " + out);
    }

    if (json) {
        Json doc;
        doc["file"] = path;
        doc["streams"] = streams;
        if (wantFrame)
            doc["frame"] = {{"index", frame}, {"out", out}};
        printf("%s\n", doc.dump(2).c_str());
    } else {
        PrintText(path, streams);
        if (wantFrame)
            printf("frame %lld written to %s\n", static_cast<long long>(frame), out.c_str());
    }
    return 0;
}

int RunProbe(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik probe FILE [--json] [--frame N --out PICTURE.bmp]\n\n"
               "Shows what Orvik's media readers see in an AVI or WAVE file: for each video\n"
               "and sound stream its kind, compression code, frame rectangle, rate (frames or\n"
               "samples per second), first sample, sample count, data rate (bytes per second\n"
               "of video) and sound format.\n\n"
               "  --json           print the same as JSON\n"
               "  --frame N        decode frame N (from 0) of the first video stream ...\n"
               "  --out FILE       ... and write it to FILE as a 24-bit bitmap\n\n"
               "A file that does not open gives a one-line message and exit status 1.\n");
        return 0;
    }
    std::string path, out;
    bool json = false, wantFrame = false;
    int64_t frame = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--frame" || a == "--out") {
            if (i + 1 >= args.size())
                return CliFail(a + " needs a value; see `orvik probe --help`");
            const std::string& v = args[++i];
            if (a == "--out") {
                out = v;
            } else if (!ParseFrame(v, frame)) {
                return CliFail("--frame takes a frame number, not '" + v + "'");
            } else {
                wantFrame = true;
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return CliFail("unknown option '" + a + "'; see `orvik probe --help`");
        } else if (path.empty()) {
            path = a;
        } else {
            return CliFail("probe takes one file; see `orvik probe --help`");
        }
    }
    if (path.empty())
        return CliFail("probe needs a file; see `orvik probe --help`");
    if (wantFrame != !out.empty())
        return CliFail("--frame and --out go together; see `orvik probe --help`");
    int status = Probe(path, json, wantFrame, frame, out);
    ReleaseMediaFiles();
    RefObject::SweepOrphans();
    return status;
}

const CliCommandRegistrar registrar{{"probe", "probe FILE [--json] [--frame N --out F]",
                                     "show the streams of an AVI or WAVE file; decode a frame",
                                     &RunProbe}};

} // namespace

} // namespace orvik
