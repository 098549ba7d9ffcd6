#include "cli/CliCommand.h"
#include "cli/MovieDump.h"

#include "app/OrvikApp.h"
#include "edit/VolumeList.h"
#include "model/Asset.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/CompoundAsset.h"
#include "model/Movie.h"
#include "model/Scene.h"
#include "model/SourceTape.h"
#include "platform/fs/Places.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>

namespace orvik {

namespace {

using nlohmann::ordered_json;

// Numbers objects as they are met so shared assets and tapes appear once.
class JsonWriter {
public:
    ordered_json assets = ordered_json::array();
    ordered_json tapes = ordered_json::array();

    ordered_json Clips(const ClipList& list) {
        ordered_json out = ordered_json::array();
        for (const auto& clip : list.GetClips())
            out.push_back(ClipJson(*clip));
        return out;
    }

private:
    ordered_json ClipJson(const Clip& c) {
        ordered_json j;
        j["flags"] = c.GetFlags();
        j["selected"] = c.IsSelected();
        j["marked"] = c.IsMarked();
        j["pinned"] = c.IsPinned();
        j["start"] = c.GetStart();
        j["duration"] = c.GetDuration();
        j["trimStart"] = c.GetTrimStart();
        j["piconOffset"] = c.GetPiconOffset();
        j["track"] = c.GetTrack();
        j["sequence"] = c.GetSequence();
        j["comment"] = c.GetComment();
        j["extra"] = c.GetExtra();
        j["asset"] = c.GetAsset() ? ordered_json(AssetIndex(c.GetAsset())) : ordered_json();
        if (const VolumeList* v = c.GetVolumeList()) {
            ordered_json points = ordered_json::array();
            for (int i = 0; i < v->GetCount(); ++i) {
                VolumeSetting p = v->GetSetting(i);
                points.push_back({{"time", p.time}, {"level", p.level}});
            }
            j["volumeList"] = {{"duration", v->GetDuration()}, {"points", points}};
        } else {
            j["volumeList"] = nullptr;
        }
        return j;
    }

    int AssetIndex(const Asset* a) {
        auto it = assetIndex_.find(a);
        if (it != assetIndex_.end())
            return it->second;
        int index = static_cast<int>(assets.size());
        assetIndex_[a] = index;
        assets.push_back(nullptr); // reserved: nested groups add theirs after
        ordered_json j;
        j["class"] = a->GetRuntimeClass()->className;
        j["kind"] = a->GetKind();
        FieldList fields;
        a->ListFields(fields);
        ordered_json f;
        for (auto& [name, value] : fields.fields)
            std::visit([&](auto&& v) { f[name] = v; }, value);
        j["fields"] = f;
        if (auto* scene = DynamicCast<const Scene>(a))
            j["tape"] =
                scene->GetTape() ? ordered_json(TapeIndex(scene->GetTape())) : ordered_json();
        if (auto* group = DynamicCast<const CompoundAsset>(a))
            j["clips"] = Clips(*group->GetClips());
        assets[static_cast<size_t>(index)] = j;
        return index;
    }

    int TapeIndex(const SourceTape* t) {
        auto it = tapeIndex_.find(t);
        if (it != tapeIndex_.end())
            return it->second;
        int index = static_cast<int>(tapes.size());
        tapeIndex_[t] = index;
        tapes.push_back({{"fileName", t->GetFileName()},
                         {"tapeValue", t->GetTapeValue()},
                         {"hasSync", t->GetSync() != nullptr}});
        return index;
    }

    std::map<const Asset*, int> assetIndex_;
    std::map<const SourceTape*, int> tapeIndex_;
};

} // namespace

void PrintMovie(Movie& movie, bool json) {
    if (json) {
        JsonWriter w;
        ordered_json doc;
        doc["path"] = movie.GetPathName();
        doc["viewStart"] = movie.GetViewStart();
        doc["viewSpan"] = movie.GetViewSpan();
        doc["duration"] = movie.GetDuration();
        doc["clips"] = w.Clips(*movie.GetClipList());
        doc["assets"] = w.assets;
        doc["tapes"] = w.tapes;
        printf("%s\n", doc.dump(2).c_str());
    } else {
        printf("Path: %s\n", movie.GetPathName().c_str());
        printf("viewStart: %g\nviewSpan: %g\n", movie.GetViewStart(), movie.GetViewSpan());
        printf("Duration: %d\n", movie.GetDuration());
        printf("%s", movie.GetClipList()->DumpText().c_str());
    }
}

namespace {

int RunDump(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik dump [--json] PROJECT\n\n"
               "Prints a movie project: its path, the timeline view (viewStart, viewSpan), its\n"
               "duration and then its clip table. With --json, the whole document as JSON:\n"
               "every saved field of every clip, asset, source tape and volume envelope.\n"
               "Times are movie times (timecode frames).\n");
        return 0;
    }
    bool json = false;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return CliFail("dump: unknown option " + a);
        else if (path.empty())
            path = a;
        else
            return CliFail("dump takes one project");
    }
    if (path.empty())
        return CliFail("dump: which project? (orvik dump --help)");

    // Runs inside the application core, started headless: embedded working
    // files are unpacked into this run's own temporary folder.
    OrvikApp::Options options;
    options.headless = true;
    options.echoMessages = true;
    OrvikApp app(options);
    if (!app.InitInstance()) {
        app.ExitInstance();
        return 1; // the reason is on stderr already
    }
    RefPtr<Movie> movie = new Movie;
    if (!movie->OpenFromFile(path)) {
        std::string error = movie->LastError();
        movie = nullptr;
        app.ExitInstance();
        return CliFail("cannot open " + path + ": " + error);
    }

    PrintMovie(*movie, json);
    movie = nullptr;
    app.ExitInstance();
    return 0;
}

const CliCommandRegistrar registrar{
    {"dump", "dump [--json] PROJECT", "print a movie project (its clip table, or JSON)", &RunDump}};

} // namespace

} // namespace orvik
