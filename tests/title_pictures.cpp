// The front end's pictures as the game loads them from its resources: the
// title picture, the highlight panel and the splash. (That every label and
// line stands out from the water under it is measured on the real frames in
// title_contrast.cpp.)
#include "gfx/assets.h"
#include "gfx/gapi_buffer.h"
#include "gfx/surface.h"
#include "support/gfx_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Box {
    int x0, y0, x1, y1; // inclusive
};

struct Stats {
    double mean = 0, darkest = 255;
    int count = 0;
};

Stats measure(const Picture& s, Box b) {
    Stats st;
    double sum = 0;
    for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x) {
            double l = lumaOf(s.at(x, y));
            sum += l;
            st.darkest = std::min(st.darkest, l);
            ++st.count;
        }
    st.mean = st.count ? sum / st.count : 0;
    return st;
}

class TitlePictures : public ::testing::Test {
  protected:
    void SetUp() override {
        useGfxHost("qvga");
        title.reset(new Picture(BITMAP_TITLE));
        panel.reset(new Picture(BITMAP_HIGHLIGHT));
        splash.reset(new Picture(BITMAP_SPLASH));
        ASSERT_TRUE(title->loaded() && panel->loaded() && splash->loaded());
    }
    const uint16_t key = 0x8010;
    std::unique_ptr<Picture> title, panel, splash;
};

// The four slices the highlight cuts from the panel: first row and height.
struct Slice {
    int y, height;
};
constexpr Slice SLICES[4] = {{0, 73}, {73, 51}, {124, 53}, {177, 67}};

TEST_F(TitlePictures, PanelIsGreyOnExactPurpleWithEverySliceShaped) {
    EXPECT_EQ(panel->at(0, 0), key);
    EXPECT_EQ(panel->at(156, 0), key);
    EXPECT_EQ(panel->at(0, 243), key);
    EXPECT_EQ(panel->at(156, 243), key);
    for (const Slice& s : SLICES) {
        SCOPED_TRACE(s.y);
        int keyed = 0, drawn = 0;
        for (int y = s.y; y < s.y + s.height; ++y)
            for (int x = 0; x < 157; ++x) {
                uint16_t v = panel->at(x, y);
                if (v == key) {
                    ++keyed;
                    continue;
                }
                ++drawn;
                // Grey, far from the purple: no tinted fringe that would show
                // around the keyed blit.
                Rgb8 c = rgbOf(v);
                ASSERT_LT(std::abs(c.r - c.g), 40) << x << "," << y;
                ASSERT_LT(std::abs(c.b - c.g), 40) << x << "," << y;
                int dr = c.r - 128, dg = c.g, db = c.b - 128;
                ASSERT_GT(dr * dr + dg * dg + db * db, 100 * 100) << x << "," << y;
            }
        EXPECT_GT(keyed, 0);
        EXPECT_GT(drawn, s.height * 157 / 2);
    }
}

TEST_F(TitlePictures, PanelIsLightWhereTheItemLabelsFall) {
    // Rows of each slice behind its label in the 240 x 320 layout, and the
    // middle columns the labels cover.
    const int labelRows[4] = {39, 19, 18, 18};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        Box b{79 - 30, SLICES[i].y + labelRows[i], 79 + 30, SLICES[i].y + labelRows[i] + 15};
        for (int y = b.y0; y <= b.y1; ++y)
            for (int x = b.x0; x <= b.x1; ++x) ASSERT_NE(panel->at(x, y), key) << x << "," << y;
        EXPECT_GT(measure(*panel, b).mean, 170.0);
    }
}

TEST_F(TitlePictures, SplashIsAMarkOnBlack) {
    for (int x = 0; x < 176; ++x)
        for (int y : {0, 1, 2, 132, 133, 134}) ASSERT_EQ(splash->at(x, y), 0) << x << "," << y;
    for (int y = 0; y < 135; ++y)
        for (int x : {0, 1, 2, 173, 174, 175}) ASSERT_EQ(splash->at(x, y), 0) << x << "," << y;
    // The emblem in the upper middle and the name below it are drawn.
    EXPECT_GT(measure(*splash, Box{68, 30, 108, 70}).mean, 40.0);
    Stats name = measure(*splash, Box{20, 96, 155, 118});
    EXPECT_GT(name.mean, 25.0);
    EXPECT_LT(name.darkest, 1.0); // lettering on black, not a filled box
}

TEST_F(TitlePictures, TitlePlateStandsApartFromTheWaterAroundIt) {
    // The plate lies inside the top-left 176 x 220, so both layouts show it.
    // Its dark frame is set off from the water above, below and beside it.
    Stats frame = measure(*title, Box{20, 8, 156, 9});
    for (Box water :
         {Box{20, 0, 156, 5}, Box{40, 84, 156, 92}, Box{0, 20, 4, 70}, Box{172, 20, 176, 70}}) {
        SCOPED_TRACE(std::to_string(water.x0) + "," + std::to_string(water.y0));
        EXPECT_LT(frame.mean, measure(*title, water).mean - 45.0);
    }
    // Its lettering is bright against the plate: the picture has both.
    Stats lettering = measure(*title, Box{20, 30, 156, 60});
    EXPECT_LT(lettering.darkest, 60.0);
    int bright = 0;
    for (int y = 30; y <= 60; ++y)
        for (int x = 20; x <= 156; ++x) {
            Rgb8 c = rgbOf(title->at(x, y));
            if (c.r > 220 && c.g > 150 && c.b < 120) ++bright;
        }
    EXPECT_GT(bright, 300);
}

} // namespace
