// Whole runs against the recorded hashes of their frames, sound and files,
// named by run, device and file. REEFDART_GOLDEN_WRITE=FILE writes this
// build's hashes to FILE instead (for a change meant to alter them).
#include "support/png_image.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

struct GoldenRun {
    const char* script;
    std::vector<const char*> devices;
};

const GoldenRun RUNS[] = {
    {"screens", {"qvga", "qvga-rotated", "square", "small", "raw"}},
    {"game_keys", {"qvga", "small", "raw"}},
    {"game_stylus", {"qvga", "square", "small"}},
    {"autoplay", {"qvga"}},
    {"autoplay_silent", {"small"}},
};

uint64_t fnv1a(const void* data, size_t size, uint64_t h = 1469598103934665603ull) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// A PNG is hashed by its pixels, so that another libpng or zlib cannot
// change the figure; every other file by its bytes.
uint64_t fileHash(const fs::path& path) {
    if (path.extension() == ".png") {
        Shot s = readShot(path.string());
        int size[2] = {s.width, s.height};
        return fnv1a(s.rgb.data(), s.rgb.size(), fnv1a(size, sizeof size));
    }
    std::string bytes = readFile(path.string());
    return fnv1a(bytes.data(), bytes.size());
}

// Runs one script on one device; returns "file hash" for every output, the
// settings files under data/.
std::map<std::string, std::string> play(const std::string& name, const char* device) {
    std::string folder = makeTempFolder();
    std::ifstream in(std::string(REEFDART_SOURCE_DIR) + "/tests/golden/" + name + ".script");
    std::string text, line;
    while (std::getline(in, line)) {
        for (const char* command : {"shot ", "record-audio "})
            if (line.rfind(command, 0) == 0)
                line = command + folder + "/" + line.substr(std::string(command).size());
        text += line + "\n";
    }
    writeFile(folder + "/run.script", text);
    std::string output;
    int code =
        runReefdart("--headless " + folder + "/run.script --device " + device + " --data-dir " +
                        folder + "/data --final-shot " + folder + "/final.png",
                    &output);
    std::map<std::string, std::string> hashes;
    hashes["exit-code"] = std::to_string(code);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename() == "run.script") continue;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx",
                      static_cast<unsigned long long>(fileHash(entry.path())));
        hashes[fs::relative(entry.path(), folder).string()] = hex;
    }
    fs::remove_all(folder);
    return hashes;
}

class Golden : public testing::TestWithParam<GoldenRun> {};

TEST_P(Golden, FramesSoundAndFilesAreAsRecorded) {
    const GoldenRun& run = GetParam();
    const char* write = std::getenv("REEFDART_GOLDEN_WRITE");
    std::map<std::string, std::string> want; // "script device file" to hash
    std::ifstream in(std::string(REEFDART_SOURCE_DIR) + "/tests/golden/hashes.txt");
    std::string script, device, file, hash;
    while (in >> script >> device >> file >> hash) want[script + " " + device + " " + file] = hash;
    for (const char* device : run.devices) {
        std::map<std::string, std::string> got = play(run.script, device);
        std::string prefix = std::string(run.script) + " " + device + " ";
        if (write) {
            std::ofstream out(write, std::ios::app);
            for (const auto& [file, hash] : got) out << prefix << file << " " << hash << "\n";
            continue;
        }
        size_t recorded = 0;
        for (const auto& [k, hash] : want) recorded += k.rfind(prefix, 0) == 0;
        EXPECT_EQ(recorded, got.size()) << run.script << " on " << device << ": other outputs";
        for (const auto& [file, hash] : got) {
            auto it = want.find(prefix + file);
            EXPECT_TRUE(it != want.end() && it->second == hash)
                << run.script << " on " << device << ": " << file << " is " << hash << ", recorded "
                << (it == want.end() ? "nothing" : it->second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(RUNS),
                         [](const testing::TestParamInfo<GoldenRun>& info) {
                             return std::string(info.param.script);
                         });

} // namespace
