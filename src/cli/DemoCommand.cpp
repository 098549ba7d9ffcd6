#include "cli/CliCommand.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "app/Version.h"
#include "model/RefObject.h"
#include "platform/fs/Places.h"

#include <cstdio>

namespace orvik {

namespace {

int RunDemo(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik demo [DIR]\n\n"
               "Shows what Orvik can do today, working in DIR (default: a \"demo\" folder in\n"
               "the movie folder). Opens the diagnostics log, loads the resource libraries and\n"
               "reports what it loaded.\n");
        return 0;
    }
    if (args.size() > 1)
        return CliFail("demo takes at most one folder");
    std::string dir = args.empty() ? JoinPath(Places::VideosFolder(), "demo") : args[0];
    std::string error;
    if (!Places::EnsureFolder(dir, &error))
        return CliFail("cannot make the demo folder: " + error);

    std::string logFolder = Places::StateFolder();
    if (!OpenLog(logFolder, 0))
        fprintf(stderr, "orvik: cannot create the diagnostics log in %s\n", logFolder.c_str());
    printf("Diagnostics log: %s\n", LogPath().c_str());

    ResourceLibraries resources;
    std::string warning;
    resources.SetWarningHandler(
        [&](const std::string& text, const std::string& caption) { warning = caption + ": " + text; });
    bool loaded = resources.Load("US", 0, 1024, 768);
    printf("Resource libraries (language %s, layout %d x %d):\n", resources.Language().c_str(),
           resources.LayoutWidth(), resources.LayoutHeight());
    for (const std::string& f : resources.LoadedFiles())
        printf("  %s\n", f.c_str());
    int status = 0;
    if (!loaded) {
        fprintf(stderr, "orvik: %s\n", warning.c_str());
        status = 1;
    } else {
        printf("Palette: %s\n", resources.FindPalette() ? "256 colours" : "missing");
        printf("Video files: %s, scene files: %s, sound files: %s\n",
               resources.GetText(kTextVideoExtension).c_str(),
               resources.GetText(kTextSceneExtension).c_str(),
               resources.GetText(kTextSoundExtension).c_str());
        printf("Splash line: %s %s - %s\n", kProductName, kProductVersion,
               resources.GetProductText(kTextSplashLine).c_str());
    }
    // Exit order: objects nobody adopted are reported before the log closes.
    RefObject::SweepOrphans();
    CloseLog();
    return status;
}

const CliCommandRegistrar registrar{
    {"demo", "demo [DIR]", "show what Orvik can do today, working in DIR", &RunDemo}};

} // namespace

} // namespace orvik
