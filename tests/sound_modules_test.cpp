// The two music modules the game ships: their shape, and what they sound like
// through the speaker.
#include "platform/headless/host.h"
#include "platform/wince/resources.h"
#include "shell/state.h"
#include "sound/sound.h"
#include "support/test_host.h"

#include <libopenmpt/libopenmpt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct Shape {
    int id;
    size_t bytes;
    int patterns;
    int orders;
};

TEST(ShippedModules, HaveTheirChannelsPatternsAndSongLengths) {
    const Shape shapes[] = {{1, 22744, 20, 29}, {2, 28698, 17, 30}};
    for (const Shape& s : shapes) {
        const EmbeddedResource* r = findEmbeddedResource("MODULE", s.id);
        ASSERT_NE(r, nullptr) << s.id;
        EXPECT_EQ(r->size, s.bytes);
        EXPECT_EQ(std::memcmp(r->data + 1080, "M.K.", 4), 0);
        openmpt_module* m = openmpt_module_create_from_memory2(
            r->data, r->size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(openmpt_module_get_num_channels(m), 4);
        EXPECT_EQ(openmpt_module_get_num_patterns(m), s.patterns);
        EXPECT_EQ(openmpt_module_get_num_orders(m), s.orders);
        EXPECT_EQ(openmpt_module_get_num_samples(m), 31);
        openmpt_module_destroy(m);
    }
}

std::vector<int16_t> tenSeconds(int32_t mode) {
    useTestHost();
    clearRegisteredResources();
    openSound();
    appMode = mode;
    playModeMusic(appMode == MODE_FRONTEND);
    std::vector<int16_t> out(22050 * 10);
    speaker.render(out.data(), out.size());
    speaker.stopMusics();
    return out;
}

TEST(ShippedModules, PlayAudiblyWithoutClippingAndTheSameEveryTime) {
    for (int32_t mode : {MODE_FRONTEND, MODE_GAME}) {
        std::vector<int16_t> a = tenSeconds(mode), b = tenSeconds(mode);
        EXPECT_TRUE(a == b);
        int peak = 0, clipped = 0;
        double energy = 0;
        for (int16_t s : a) {
            peak = std::max(peak, std::abs(static_cast<int>(s)));
            clipped += s == 32767 || s == -32768;
            energy += static_cast<double>(s) * s;
        }
        EXPECT_GT(peak, 4000) << mode;
        EXPECT_EQ(clipped, 0) << mode;
        EXPECT_GT(std::sqrt(energy / a.size()), 500.0) << mode;
    }
}

} // namespace
