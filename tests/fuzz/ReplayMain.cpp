// Runs a fuzz target over files and directories of inputs without libFuzzer:
// how the ordinary and sanitizer builds replay the corpora and regressions.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void runFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        if (!std::filesystem::exists(root)) {
            std::fprintf(stderr, "replay: no such input %s\n", argv[i]);
            return 2;
        }
        if (!std::filesystem::is_directory(root)) {
            runFile(root);
            ++inputs;
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
                continue;
            runFile(entry.path());
            ++inputs;
        }
    }
    std::printf("replay: %d inputs, no property broken\n", inputs);
    return 0;
}
