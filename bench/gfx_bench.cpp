// The blits per pixel, the game-like frame on three device layouts, and two
// yardsticks measured in the same run: the copy of one frame with memcpy (the
// floor) and the same frame drawn with SDL2. After the run the ratios between
// them are printed.
#include "bench/bench_display.h"
#include "bench/game_scene.h"
#include "bench/sdl_frame.h"

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/gapi_buffer.h"
#include "gfx/text.h"
#include "shell/state.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

ScenePictures pictures;
ScenePlan plan;

// Nanoseconds per iteration of the fastest run of each benchmark, by name,
// measured around the same loop the library times. On a shared machine the
// fastest of several runs is the steadiest figure: other work only ever
// adds time. With --benchmark_repetitions and
// --benchmark_enable_random_interleaving the frames and the yardsticks are
// each measured several times, in turns, and the ratios use the best of
// each.
struct Measured {
    std::string name;
    double nsPerIteration;
    double itemsPerIteration;
};
std::vector<Measured> measured;

typedef std::chrono::steady_clock Clock;

void record(const benchmark::State& state, const std::string& name, Clock::time_point start,
            double items) {
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    double perIteration = state.iterations() ? ns / static_cast<double>(state.iterations()) : 0;
    for (Measured& m : measured)
        if (m.name == name) {
            if (perIteration > 0 && (m.nsPerIteration <= 0 || perIteration < m.nsPerIteration))
                m.nsPerIteration = perIteration;
            return;
        }
    measured.push_back(Measured{name, perIteration, items});
}

const Measured* find(const std::string& name) {
    for (const Measured& m : measured)
        if (m.name == name) return &m;
    return nullptr;
}

void countPixels(benchmark::State& state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(pixels),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

enum BlitCase {
    CASE_OPAQUE_STRIP,
    CASE_KEYED_STRIP,
    CASE_KEYED_SPRITE,
    CASE_SMOOTH_SPRITE,
    CASE_TINTED_BUBBLE,
    CASE_TRANSLUCENT_SCREEN,
};

// One blit of each kind at its typical size; returns the pixels it walks.
int64_t blitOnce(int which, int i) {
    const Surface* rock = pictures.pictures[PIC_ROCK];
    const Surface* sprites = pictures.pictures[PIC_SPRITES];
    int32_t dx = (i & 7) * 24;
    switch (which) {
    case CASE_OPAQUE_STRIP:
        blitOpaque(&backBuffer, dx, 70, 24, 180, rock, 48, 70);
        return 24 * 180;
    case CASE_KEYED_STRIP:
        blitKeyed(&backBuffer, dx, 70, 24, 180, rock, NO_COLOUR_KEY, 48, 70);
        return 24 * 180;
    case CASE_KEYED_SPRITE:
        blitKeyed(&backBuffer, dx, 100, 24, 24, sprites, spriteKey, 0, 0);
        return 24 * 24;
    case CASE_SMOOTH_SPRITE:
        blitKeyedSmooth(&backBuffer, dx, 100, 24, 24, sprites, spriteKey, 0, 60);
        return 24 * 24;
    case CASE_TINTED_BUBBLE:
        blitTinted(&backBuffer, dx, 100, 16, 16, pictures.pictures[PIC_BUBBLES], 215, 230, 255, 0,
                   0);
        return 16 * 16;
    default:
        blitTranslucent(&backBuffer, 0, 0, 240, 320, pictures.pictures[PIC_WATER], 12,
                        NO_COLOUR_KEY, 0, 0);
        return 240 * 320;
    }
}

void BM_Blit(benchmark::State& state, const std::string& name, int which, const char* device) {
    useBenchDisplay(device);
    int64_t pixels = blitOnce(which, 0);
    int i = 0;
    Clock::time_point start = Clock::now();
    for (auto _ : state) blitOnce(which, ++i);
    record(state, name, start, static_cast<double>(pixels));
    benchmark::DoNotOptimize(backBuffer.base[0]);
    countPixels(state, pixels);
}

void BM_GameFrame(benchmark::State& state, const std::string& name, const char* device) {
    useBenchDisplay(device);
    menuPhase = 1.0f;
    int frame = 0;
    Clock::time_point start = Clock::now();
    for (auto _ : state) drawSceneFrame(pictures, frame++ % 300, &plan);
    record(state, name, start, 0);
}

// One layer of the game-like frame on its own, to show where a frame's time
// goes. Each iteration plans its frame too, as the whole frame does; the
// "plan" layer is that planning alone.
enum FrameLayer {
    LAYER_PLAN,
    LAYER_CLEAR,
    LAYER_COPIES,
    LAYER_SMOOTH,
    LAYER_TINTED,
    LAYER_TEXT,
    LAYER_PRESENT
};

void drawLayer(int layer) {
    if (layer == LAYER_CLEAR) copyBuffer(&backBuffer, &blankBuffer);
    if (layer == LAYER_PRESENT) presentFrame();
    const int kind = layer == LAYER_COPIES   ? SCENE_KEYED
                     : layer == LAYER_SMOOTH ? SCENE_SMOOTH
                     : layer == LAYER_TINTED ? SCENE_TINTED
                                             : -1;
    for (int i = 0; kind >= 0 && i < plan.blitCount; ++i) {
        const SceneBlit& b = plan.blits[i];
        if (b.kind != kind) continue;
        const Surface* picture = pictures.pictures[b.picture];
        if (kind == SCENE_KEYED)
            blitKeyed(&backBuffer, b.x, b.y, b.w, b.h, picture, NO_COLOUR_KEY, b.srcX, b.srcY);
        else if (kind == SCENE_SMOOTH)
            blitKeyedSmooth(&backBuffer, b.x, b.y, b.w, b.h, picture, spriteKey, b.srcX, b.srcY);
        else
            blitTinted(&backBuffer, b.x, b.y, b.w, b.h, picture, 215, 230, 255, b.srcX, b.srcY);
    }
    for (int i = 0; layer == LAYER_TEXT && i < plan.textCount; ++i) {
        const SceneText& t = plan.texts[i];
        if (t.number)
            drawNumber(t.x, t.y, t.value, t.align, t.digits, 255, 255, 255);
        else
            drawText(t.x, t.y, t.text, t.align, 255, 255, 255, t.wave);
    }
}

void BM_FrameLayer(benchmark::State& state, const std::string& name, int layer) {
    useBenchDisplay("qvga");
    menuPhase = 1.0f;
    int frame = 0;
    Clock::time_point start = Clock::now();
    for (auto _ : state) {
        planSceneFrame(frame++ % 300, screenWidth, screenHeight, &plan);
        drawLayer(layer);
        benchmark::ClobberMemory();
    }
    record(state, name, start, 0);
}

void BM_MemcpyFloor(benchmark::State& state) {
    std::vector<uint16_t> source(240 * 320), destination(240 * 320);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint16_t>(i);
    uint16_t* to = destination.data();
    const uint16_t* from = source.data();
    Clock::time_point start = Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(to);
        benchmark::DoNotOptimize(from);
        std::memcpy(to, from, destination.size() * sizeof(uint16_t));
        benchmark::ClobberMemory();
    }
    record(state, "BM_MemcpyFloor/240x320", start, 0);
}

uint16_t sdlDisplay[240 * 320];

void BM_SdlFrame(benchmark::State& state) {
    useBenchDisplay("qvga");
    menuPhase = 1.0f;
    if (!makeSdlScene(pictures, screenWidth, screenHeight)) {
        state.SkipWithError("SDL surfaces could not be made");
        return;
    }
    int frame = 0;
    Clock::time_point start = Clock::now();
    for (auto _ : state) {
        planSceneFrame(frame++ % 300, screenWidth, screenHeight, &plan);
        drawSdlFrame(plan, sdlDisplay);
        benchmark::ClobberMemory();
    }
    record(state, "BM_SdlFrame/qvga", start, 0);
    releaseSdlScene();
}

void registerAll() {
    static const struct {
        const char* name;
        int which;
    } blits[] = {
        {"opaque_24x180", CASE_OPAQUE_STRIP}, {"keyed_nokey_24x180", CASE_KEYED_STRIP},
        {"keyed_24x24", CASE_KEYED_SPRITE},   {"keyed_smooth_24x24", CASE_SMOOTH_SPRITE},
        {"tinted_16x16", CASE_TINTED_BUBBLE}, {"translucent_240x320", CASE_TRANSLUCENT_SCREEN},
    };
    static const char* const blitDevices[] = {"qvga", "qvga-rotated"};
    for (const char* device : blitDevices)
        for (const auto& b : blits) {
            std::string name = std::string("BM_Blit/") + b.name + "/" + device;
            benchmark::RegisterBenchmark(name.c_str(),
                                         [name, which = b.which, device](benchmark::State& s) {
                                             BM_Blit(s, name, which, device);
                                         });
        }
    static const char* const frameDevices[] = {"qvga", "qvga-rotated", "small"};
    for (const char* device : frameDevices) {
        std::string name = std::string("BM_GameFrame/") + device;
        benchmark::RegisterBenchmark(
            name.c_str(), [name, device](benchmark::State& s) { BM_GameFrame(s, name, device); });
    }
    static const char* const layers[] = {"plan",   "clear", "copies", "smooth",
                                         "tinted", "text",  "present"};
    for (int layer = LAYER_PLAN; layer <= LAYER_PRESENT; ++layer) {
        std::string name = std::string("BM_FrameLayer/") + layers[layer] + "/qvga";
        benchmark::RegisterBenchmark(
            name.c_str(), [name, layer](benchmark::State& s) { BM_FrameLayer(s, name, layer); });
    }
    benchmark::RegisterBenchmark("BM_MemcpyFloor/240x320", BM_MemcpyFloor);
    benchmark::RegisterBenchmark("BM_SdlFrame/qvga", BM_SdlFrame);
}

double nsOf(const char* name) {
    const Measured* m = find(name);
    return m ? m->nsPerIteration : 0;
}

void printRatio(const char* label, const char* over, const char* under, const char* target) {
    double a = nsOf(over), b = nsOf(under);
    if (a <= 0 || b <= 0) {
        std::printf("%-30s n/a (not run)\n", label);
        return;
    }
    std::printf("%-30s %8.2f   (%s %.0f ns / %s %.0f ns; target %s)\n", label, a / b, over, a,
                under, b, target);
}

void printSummary() {
    std::printf("\nPer pixel (ns, fastest run):\n");
    for (const Measured& m : measured)
        if (m.itemsPerIteration > 0)
            std::printf("  %-45s %7.3f ns/pixel\n", m.name.c_str(),
                        m.nsPerIteration / m.itemsPerIteration);
    std::printf("\nRatios (wall time per frame, fastest runs):\n");
    printRatio("frame / memcpy floor", "BM_GameFrame/qvga", "BM_MemcpyFloor/240x320", "<= 12");
    printRatio("frame / SDL frame", "BM_GameFrame/qvga", "BM_SdlFrame/qvga", "<= 0.5");
    printRatio("qvga-rotated / qvga", "BM_GameFrame/qvga-rotated", "BM_GameFrame/qvga", "<= 2");
    printRatio("small / qvga", "BM_GameFrame/small", "BM_GameFrame/qvga", "info");
}

} // namespace

int main(int argc, char** argv) {
    useBenchDisplay("qvga");
    makeScenePictures(&pictures);
    loadFont();
    if (!surfaces[SLOT_FONT]) {
        std::fprintf(stderr, "the font picture could not be loaded\n");
        return 1;
    }
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    releaseScenePictures(&pictures);
    return 0;
}
