#include "cli/CliCommand.h"

#include "app/DiagnosticsLog.h"
#include "app/OrvikApp.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "app/Version.h"
#include "cli/DemoMaterial.h"
#include "model/AssetManager.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "platform/fs/Places.h"

#include <cstdio>

namespace orvik {

namespace {

int MakeDemoMovie(const std::string& dir) {
    fprintf(stderr, "Making demo material in %s ...\n", dir.c_str());
    DemoMaterial material;
    std::string error;
    if (!MakeDemoMaterial(dir, material, error))
        return CliFail("cannot make the demo material: " + error);
    printf("Material: %s, %s, %s\n", material.tape.c_str(), material.sound.c_str(),
           material.picture.c_str());
    // Working files of this run stay in a folder of its own.
    AssetManager manager(JoinPath(dir, "work"), dir);
    RefPtr<Movie> movie = BuildDemoMovie(material);
    std::string path = JoinPath(dir, "demo.orv");
    if (!movie->SaveToFile(path))
        return CliFail("cannot save " + path + ": " + movie->LastError());
    printf("Movie saved: %s\n", path.c_str());
    printf("Duration: %d frames\n", movie->GetDuration());
    printf("%s", movie->GetClipList()->DumpText().c_str());
    return 0;
}

int RunDemo(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik demo [DIR]\n\n"
               "Shows what Orvik can do today, working in DIR (default: a \"demo\" folder in\n"
               "the movie folder). Opens the diagnostics log, loads the resource libraries,\n"
               "makes demo material of its own (a motion-JPEG tape of four scenes with sound,\n"
               "a sound effect, a picture), builds a movie of the scenes with a transition, the\n"
               "picture over the video, the sound effect and music, saves DIR/demo.orv and\n"
               "prints its clip table.\n");
        return 0;
    }
    if (args.size() > 1)
        return CliFail("demo takes at most one folder");
    std::string dir = args.empty() ? JoinPath(Places::VideosFolder(), "demo") : args[0];
    std::string error;
    if (!Places::EnsureFolder(dir, &error))
        return CliFail("cannot make the demo folder: " + error);

    // The demo runs inside the application core, started headless: the same
    // start-up, log and exit as the desktop program.
    OrvikApp::Options options;
    options.headless = true;
    options.echoMessages = true;
    OrvikApp app(options);
    bool started = app.InitInstance();
    if (IsLogOpen())
        printf("Diagnostics log: %s\n", LogPath().c_str());

    int status = 1;
    if (const ResourceLibraries* resources = app.GetResources()) {
        printf("Resource libraries (language %s, layout %d x %d):\n",
               resources->Language().c_str(), resources->LayoutWidth(),
               resources->LayoutHeight());
        for (const std::string& f : resources->LoadedFiles())
            printf("  %s\n", f.c_str());
    }
    if (started) {
        const ResourceLibraries& resources = *app.GetResources();
        printf("Palette: %s\n", resources.FindPalette() ? "256 colours" : "missing");
        printf("Video files: %s, scene files: %s, sound files: %s\n",
               resources.GetText(kTextVideoExtension).c_str(),
               resources.GetText(kTextSceneExtension).c_str(),
               resources.GetText(kTextSoundExtension).c_str());
        printf("Splash line: %s %s - %s\n", kProductName, kProductVersion,
               resources.GetProductText(kTextSplashLine).c_str());
        status = MakeDemoMovie(dir);
    }
    // Start-up failures have shown their message on stderr.
    app.ExitInstance();
    return status;
}

const CliCommandRegistrar registrar{
    {"demo", "demo [DIR]", "show what Orvik can do today, working in DIR", &RunDemo}};

} // namespace

} // namespace orvik
