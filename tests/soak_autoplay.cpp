// A long unattended run: the pilot plays game after game on the headless
// host, with the tick count wrapping past 2^32 early in the run. The whole
// program runs in this process through its own message loop, so that the
// global allocation operators below can watch its live memory.
//
// REEFDART_SOAK_MINUTES sets the virtual minutes played (default 4).
#include "game/world.h"
#include "persist/settings.h"
#include "platform/headless/host.h"
#include "platform/host/instance.h"
#include "platform/script/script.h"
#include "shell/app.h"
#include "shell/autopilot.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

// Every block carries its size in a header in front of it, so that the live
// bytes are known whichever delete frees it.
constexpr std::size_t HEADER = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
std::atomic<long long> liveBytes{0};
std::atomic<long long> liveBlocks{0};

void* allocate(std::size_t size) {
    char* block = static_cast<char*>(std::malloc(size + HEADER));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block + HEADER;
}

void* allocateOrAbort(std::size_t size) {
    void* p = allocate(size);
    if (!p) std::abort();
    return p;
}

void release(void* p) {
    if (!p) return;
    char* block = static_cast<char*>(p) - HEADER;
    liveBytes.fetch_sub(static_cast<long long>(*reinterpret_cast<std::size_t*>(block)),
                        std::memory_order_relaxed);
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new[](std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}

namespace {

constexpr uint32_t WRAP_START_TICK = 4294962296u; // 5 s before the tick count wraps
constexpr double DEFAULT_MINUTES = 4;
// Allowed above the live allocations of the second game start, for blocks
// that live only inside one message.
constexpr long long PASSING_BYTES = 4096, PASSING_BLOCKS = 8;

// What the run looked like, gathered tick by tick.
struct Figures {
    int gamesStarted = 0, gamesEnded = 0;
    int startedAfterWrap = 0, endedAfterWrap = 0, scoredAfterWrap = 0;
    int32_t bestFinal = 0;
    bool wrapped = false;
    int inFlightAtWrap = 0;     // 1 when a game was being flown as the count wrapped
    int32_t columnsAtWrap = -1; // its column count then
    int32_t finalOfWrapGame = -1;
    float frameDtAtWrap = -1;
    int ticks = 0;
    int badFrameDt = 0; // outside 0 .. 0.05 s
    float maxFrameDt = 0;
    uint32_t maxSinceMark = 0; // tick count minus the second mark, after a tick
    long long bytesAtStart = -1, blocksAtStart = -1;
    long long maxBytes = 0, maxBlocks = 0;
    long long bytesAtEnd = 0, blocksAtEnd = 0;
};

Figures f;
bool inGame = false;   // a game started and its fish still has energy
bool gameOn = false;   // appMode is MODE_GAME
bool wrapGame = false; // the game in flight at the wrap

void sampleMemory() {
    long long bytes = liveBytes.load(), blocks = liveBlocks.load();
    if (f.bytesAtStart < 0) {
        f.bytesAtStart = bytes;
        f.blocksAtStart = blocks;
    }
    if (bytes > f.maxBytes) f.maxBytes = bytes;
    if (blocks > f.maxBlocks) f.maxBlocks = blocks;
    f.bytesAtEnd = bytes;
    f.blocksAtEnd = blocks;
}

// Runs after each tick of the program, with the tick count it ran at.
void observeTick(uint32_t now) {
    static uint32_t before = 0;
    ++f.ticks;
    if (!(frameDt >= 0.0f && frameDt <= 0.05f)) ++f.badFrameDt;
    if (frameDt > f.maxFrameDt) f.maxFrameDt = frameDt;
    // A tick that finds more than a second since the mark (the first tick of
    // a game always does, its mark being 0) sets the mark anew.
    if (now - secondMark > f.maxSinceMark) f.maxSinceMark = now - secondMark;
    bool wrapsNow = f.ticks > 1 && now < before;
    before = now;
    if (wrapsNow) {
        f.wrapped = true;
        f.frameDtAtWrap = frameDt;
        if (inGame) {
            f.inFlightAtWrap = 1;
            f.columnsAtWrap = world.columnCount;
            wrapGame = true;
        }
    }
    bool gameNow = appMode == MODE_GAME;
    if (gameNow && !gameOn) {
        ++f.gamesStarted;
        if (f.wrapped) ++f.startedAfterWrap;
        inGame = true;
        // The second game start: every kind of screen change has happened once.
        if (f.gamesStarted == 2) sampleMemory();
    }
    if (inGame && gameNow && fishEnergy == 0) {
        inGame = false;
        ++f.gamesEnded;
        int32_t score = finalScore();
        if (score > f.bestFinal) f.bestFinal = score;
        if (f.wrapped && !wrapGame) {
            ++f.endedAfterWrap;
            if (score > 0) ++f.scoredAfterWrap;
        }
        if (wrapGame) f.finalOfWrapGame = score;
        wrapGame = false;
    }
    gameOn = gameNow;
    if (f.bytesAtStart >= 0) sampleMemory();
}

// The program's message loop, as WinMain runs it, with a look at the state
// after every timer tick.
int runProgram() {
    if (!InitInstance(nullptr, SW_SHOW)) return -1;
    HACCEL accelerators = LoadAcceleratorsW(nullptr, ACCEL_TABLE_ID);
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (msg.message == WM_TIMER) observeTick(GetTickCount());
    }
    displayShutdown();
    return static_cast<int>(msg.wParam);
}

double soakMinutes() {
    const char* text = std::getenv("REEFDART_SOAK_MINUTES");
    if (!text || !*text) return DEFAULT_MINUTES;
    double minutes = std::atof(text);
    return minutes > 0 ? minutes : DEFAULT_MINUTES;
}

std::string fileIn(const std::string& folder, const char* name) {
    return readFile(folder + "/" + name);
}

bool allDigits(const std::string& text, size_t count) {
    if (text.size() != count) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

TEST(Soak, GameAfterGameAcrossTheClockWrapWithoutGrowth) {
    double minutes = soakMinutes();
    uint32_t ms = static_cast<uint32_t>(minutes * 60000);
    std::string folder = useTestHost("qvga", WRAP_START_TICK);
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(parseScript("wait " + std::to_string(ms) + "\n", &commands, &error)) << error;
    startHeadlessHost(WRAP_START_TICK, commands);
    autopilotOn = true;
    constructProgramObjects();

    auto wallStart = std::chrono::steady_clock::now();
    int code = runProgram();
    double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    releaseInstance();
    EXPECT_EQ(0, code);
    EXPECT_TRUE(finishHeadlessHost());

    std::printf("soak: %.1f virtual minutes in %.1f s: %d ticks, %d games started, %d ended, "
                "best score %d\n",
                minutes, wall, f.ticks, f.gamesStarted, f.gamesEnded, f.bestFinal);
    std::printf("soak: live allocations at the second game start %lld bytes in %lld blocks, "
                "at the end %lld bytes in %lld blocks, at most %lld bytes in %lld blocks\n",
                f.bytesAtStart, f.blocksAtStart, f.bytesAtEnd, f.blocksAtEnd, f.maxBytes,
                f.maxBlocks);
    std::printf("soak: frameDt at the wrap %.4f, at most %.4f; time since the second mark at "
                "most %u ms\n",
                f.frameDtAtWrap, f.maxFrameDt, f.maxSinceMark);

    // Many games, every one of them ended and restarted by the pilot.
    EXPECT_GE(f.gamesEnded, 3);
    EXPECT_GE(f.gamesStarted, f.gamesEnded);
    EXPECT_LE(f.gamesStarted, f.gamesEnded + 1);

    // The clock wrapped while a game was flown; that game went on flying and
    // scoring, and after the wrap games still started, scored and ended.
    ASSERT_TRUE(f.wrapped);
    EXPECT_EQ(1, f.inFlightAtWrap);
    EXPECT_GT(f.finalOfWrapGame, SCORE_PER_COLUMN * f.columnsAtWrap);
    EXPECT_GE(f.startedAfterWrap, 2);
    EXPECT_GE(f.scoredAfterWrap, 2);
    // The step across the wrap is one timer period, like every other.
    EXPECT_FLOAT_EQ(0.005f, f.frameDtAtWrap);
    EXPECT_EQ(0, f.badFrameDt);
    EXPECT_LE(f.maxFrameDt, 0.05f);
    // The seconds clock kept counting through the wrap.
    EXPECT_LE(f.maxSinceMark, 1000u + TICK_PERIOD_MS);

    // Nothing grows while game follows game: what is live at the end is no
    // more than what was live when the second game started, and nothing in
    // between rose above that by more than a few passing allocations (a
    // screen change holds one block of under 500 bytes for a moment).
    ASSERT_GE(f.bytesAtStart, 0);
    EXPECT_LE(f.bytesAtEnd, f.bytesAtStart);
    EXPECT_LE(f.blocksAtEnd, f.blocksAtStart);
    EXPECT_LE(f.maxBytes, f.bytesAtStart + PASSING_BYTES);
    EXPECT_LE(f.maxBlocks, f.blocksAtStart + PASSING_BLOCKS);

    // The files decode to values in range, and the record is the best score
    // reached.
    EXPECT_EQ(f.bestFinal, bestScore);
    char record[8];
    std::snprintf(record, sizeof record, "%05d", static_cast<int>(f.bestFinal % 100000));
    EXPECT_EQ(record, fileIn(folder, "record.dat"));
    EXPECT_TRUE(allDigits(fileIn(folder, "sound.dat"), 5));
    EXPECT_TRUE(allDigits(fileIn(folder, "career.dat"), 8));
    for (const char* name : {"keys.dat", "keys2.dat", "keys3.dat"})
        EXPECT_TRUE(allDigits(fileIn(folder, name), 6)) << name;
    bestScore = -1;
    language = -1;
    career = {};
    keyUp = keyDown = keyLeft = keyRight = keyRestart = keyExit = 0;
    speaker.volumeSounds(0);
    speaker.volumeMusics(0);
    loadSettings();
    EXPECT_EQ(f.bestFinal % 100000, bestScore);
    EXPECT_EQ(LANG_ENGLISH, language);
    EXPECT_EQ(SOUND_VOLUME_MAX, speaker.volumeSounds());
    EXPECT_EQ(MUSIC_VOLUME_MAX, speaker.volumeMusics());
    EXPECT_EQ(2, career.career1);
    EXPECT_EQ(1, career.career2);
    EXPECT_EQ(0, career.career3);
    EXPECT_EQ(1, career.career4);
    EXPECT_EQ(1, career.career5);
    EXPECT_EQ(0, career.career6);
    for (int16_t key : {keyUp, keyDown, keyLeft, keyRight, keyRestart, keyExit})
        EXPECT_EQ(KEY_UNASSIGNED, key);
}

} // namespace
