// Reads arbitrary bytes as the scene file of a captured tape.
#include "model/ClipList.h"
#include "model/RefObject.h"
#include "model/SourceTape.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string folder = [] {
        char pattern[] = "/tmp/orvik-fuzz-scenes-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    orvik::RefPtr<orvik::SourceTape> tape = new orvik::SourceTape(folder + "/tape.avi", 0);
    std::string path = tape->SceneFilePath();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    tape->ReadSceneFile();
    tape->SetSceneList(nullptr);
    tape = nullptr;
    orvik::RefObject::SweepOrphans();
    return 0;
}
