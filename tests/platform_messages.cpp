// The message loop hands messages out in the handheld's order and makes
// WM_TIMER only when due, never more than one at a time.
#include "platform/headless/host.h"
#include "platform/host/host.h"
#include "platform/wince/messages.h"
#include "platform/wince/resources.h"
#include "platform/wince/runtime.h"
#include "platform/wince/steady_clock.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> seen;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

class MessageLoop : public ::testing::Test {
  protected:
    HWND window = nullptr;
    void SetUp() override {
        useTestHost();
        seen.clear();
        WNDCLASSW c = {};
        c.lpfnWndProc = recordingProc;
        c.lpszClassName = L"test";
        RegisterClassW(&c);
        window = CreateWindowExW(0, L"test", L"test", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                 nullptr);
        SetTimer(window, 10, 5, nullptr);
    }
    MSG next() {
        MSG m = {};
        GetMessageW(&m, nullptr, 0, 0);
        return m;
    }
    UINT nextType() { return next().message; }
};

// A late timer gives one message, not one a period; close ends the program.
TEST_F(MessageLoop, ALifeWithALateTimer) {
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), static_cast<UINT>(WM_CREATE));
    uint32_t start = GetTickCount();
    std::vector<uint32_t> times; // the one after the late one waits a whole period
    for (uint32_t late : {0, 100, 0}) {
        headlessAdvance(late);
        MSG m = next();
        EXPECT_EQ((std::vector<UINT>{m.message, UINT(m.wParam)}),
                  (std::vector<UINT>{WM_TIMER, 10}));
        times.push_back(m.time - start);
    }
    EXPECT_EQ(times, (std::vector<uint32_t>{5, 105, 110}));
    PostMessageW(window, WM_CLOSE, 0, 0);
    MSG m = next();
    DispatchMessageW(&m);
    EXPECT_EQ(seen.back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_TRUE(programFinished());
    EXPECT_FALSE(PostMessageW(window, WM_COMMAND, 1, 0));
}

// Posted, input, paint, timer; quit before all.
TEST_F(MessageLoop, PostedInputPaintTimerAndQuitBeforeAll) {
    headlessAdvance(20);
    queueInput(WM_KEYDOWN, VK_UP, 0);
    PostMessageW(window, WM_COMMAND, 7, 0);
    EXPECT_EQ(nextType(), static_cast<UINT>(WM_COMMAND));
    MSG key = next();
    EXPECT_EQ(key.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(key.hwnd, window);
    EXPECT_TRUE(keyIsDown(VK_UP));
    EXPECT_EQ(nextType(), static_cast<UINT>(WM_TIMER));
    ShowWindow(window, SW_SHOW);
    headlessAdvance(20);
    PostQuitMessage(3);
    MSG m = {};
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(nextType(), static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&m);                               // nothing: quit has no window
    EXPECT_EQ(nextType(), static_cast<UINT>(WM_PAINT)); // not painted yet: it comes again
}

TEST_F(MessageLoop, CtrlLettersBecomeCommands) {
    HACCEL table = LoadAcceleratorsW(nullptr, 3);
    ASSERT_NE(table, nullptr);
    MSG m = {window, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(window, table, &m), 0); // no Control held
    queueInput(WM_KEYDOWN, VK_CONTROL, 0);
    next();
    seen.clear();
    EXPECT_EQ(TranslateAcceleratorW(window, table, &m), 1);
    m.wParam = 'B';
    EXPECT_EQ(TranslateAcceleratorW(window, table, &m), 0);
    EXPECT_EQ(seen, std::vector<UINT>{WM_COMMAND});
}

uint32_t fakeWall = 0;

TEST(SteadyClock, AStalledMachineDropsAllButATenthOfASecond) {
    useTestHost();
    Host fake = *host;
    fake.tickCount = [] { return fakeWall; };
    fake.waitForInput = [](bool, uint32_t) { return true; };
    const Host* own = host;
    host = &fake;
    fakeWall = 1000;
    steadyTheClock();
    // Ten seconds stalled: only 100 ms of timers fall due at once.
    fakeWall = 11000;
    uint32_t deadline = 1005;
    int atOnce = 0;
    while (atOnce < 5000 && host->waitForInput(true, deadline) && host->tickCount() == deadline) {
        ++atOnce;
        deadline += 5;
    }
    EXPECT_EQ(atOnce, 21);
    EXPECT_EQ(host->tickCount(), 1105u);
    fakeWall = 11010; // from there the timers come at the wall clock's pace
    EXPECT_TRUE(host->waitForInput(true, 1110));
    EXPECT_EQ(host->tickCount(), 1110u);
    unsteadyTheClock();
    host = own;
}

TEST(Runtime, RandomNumbersFollowTheHandheldGenerator) {
    crtSrand(1);
    EXPECT_EQ((std::vector<int>{crtRand(), crtRand(), crtRand()}),
              (std::vector<int>{41, 18467, 6334}));
}

TEST(Resources, TheLoadingString) {
    WCHAR buffer[100];
    EXPECT_EQ(LoadStringW(nullptr, 2, buffer, 100), 10);
    EXPECT_EQ(std::wstring(buffer), L"Loading...");
}

} // namespace
