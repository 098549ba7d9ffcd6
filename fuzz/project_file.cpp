// Reads arbitrary bytes as a movie project file.
#include "model/AssetManager.h"
#include "model/Movie.h"
#include "model/RefObject.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct Place {
    std::string folder;
    std::string file;
    std::unique_ptr<orvik::AssetManager> manager;
    Place() {
        char pattern[] = "/tmp/orvik-fuzz-project-XXXXXX";
        folder = mkdtemp(pattern);
        file = folder + "/input.orv";
        manager = std::make_unique<orvik::AssetManager>(folder + "/cache", folder + "/capture");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Place place;
    FILE* f = fopen(place.file.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    {
        orvik::RefPtr<orvik::Movie> movie = new orvik::Movie;
        movie->OpenFromFile(place.file);
    }
    orvik::RefObject::SweepOrphans();
    return 0;
}
