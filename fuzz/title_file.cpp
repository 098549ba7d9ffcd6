// Reads arbitrary bytes as a title file: loads it into the titler (and the
// titling library), renders the title and its alpha small, and saves it
// again.
#include "imaging/Dib.h"
#include "imaging/Titler.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    static std::string folder = [] {
        char pattern[] = "/tmp/orvik-fuzz-titles-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    static Titler* titler = new Titler;
    std::string path = folder + "/title.otl";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size > 0)
        fwrite(data, 1, size, f);
    fclose(f);
    Titler::IsTitleFile(path);
    if (!titler->LoadTitle(path))
        return 0;
    // Keep each run quick: big texts draw slowly at any size.
    size_t letters = 0;
    for (const TitleText& t : titler->Library().Document().texts)
        letters += t.text.size();
    if (letters <= 64) {
        RefPtr<Dib> picture = new Dib;
        titler->RenderTitle(*picture, path, 64, 48, 24);
        titler->RenderTitleAlpha(*picture, path, 64, 48);
        titler->RenderTitleAlpha(*picture, path, 40, 30);
        titler->SaveTitle(folder + "/again.otl");
    }
    titler->GetText();
    return 0;
}
