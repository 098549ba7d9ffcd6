// Runs every file of the given corpus folders through a fuzz target once.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    char home[] = "/tmp/orvik-replay-XXXXXX";
    if (!mkdtemp(home))
        return 1;
    setenv("ORVIK_HOME", home, 1);
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        for (auto& e : std::filesystem::recursive_directory_iterator(argv[i]))
            if (e.is_regular_file())
                files.push_back(e.path());
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++count;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    printf("%zu inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
