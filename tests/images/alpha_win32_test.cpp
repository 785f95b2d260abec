#include "images/alpha.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Pixel {
    unsigned char blue, green, red, alpha;
    bool operator==(const Pixel& other) const { return std::memcmp(this, &other, sizeof other) == 0; }
};

// A bottom-up DIB section whose pixels the test fills in.
HBITMAP Section(int width, int height, Pixel** pixels = nullptr, int bits = 32) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bits)};
    void* data = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    if (pixels) *pixels = static_cast<Pixel*>(data);
    return bitmap;
}

DIBSECTION Info(HBITMAP section) {
    DIBSECTION info{};
    GetObjectA(section, sizeof info, &info);
    return info;
}

class AlphaTest : public ::testing::Test {
  protected:
    void SetUp() override { InitImageSupport(); }
};

TEST_F(AlphaTest, CopiesArePremultipliedGreyedTowardsTheMiddleAndBlendedWhereDrawn) {
    // Green weighs most (6/10: 60, pulled up towards the middle); white and black are pulled
    // towards the middle too.
    EXPECT_EQ(GreyLevel(0, 100, 0), 62);
    ASSERT_TRUE(AlphaBlendAvailable());

    const auto half = static_cast<unsigned char>(128 / 255.0f * 236);
    const auto grey = static_cast<unsigned char>(GreyLevel(50, 100, 200));
    struct {
        Pixel in, copy, grey;
    } cases[] = {
        {{255, 255, 255, 255}, {255, 255, 255, 255}, {236, 236, 236, 255}},
        {{0, 0, 0, 255}, {0, 0, 0, 255}, {20, 20, 20, 255}},
        {{50, 100, 200, 255}, {50, 100, 200, 255}, {grey, grey, grey, 255}},
        // Not opaque: premultiplied, and half covered gives half the grey, alpha kept.
        {{50, 100, 200, 128}, {(50 * 128) >> 8, (100 * 128) >> 8, (200 * 128) >> 8, 128}, {}},
        {{255, 255, 255, 128}, {}, {half, half, half, 128}},
    };
    Pixel* pixels = nullptr;
    HBITMAP bitmap = Section(5, 1, &pixels);
    for (int i = 0; i < 5; ++i)
        pixels[i] = cases[i].in;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP copy = MakeAlphaCopy(bitmap, dc, 0), greyCopy = MakeAlphaCopy(bitmap, nullptr, 1);
    ASSERT_TRUE(copy && greyCopy);
    EXPECT_EQ(Info(copy).dsBm.bmBitsPixel, 32);
    EXPECT_GT(Info(copy).dsBmih.biHeight, 0); // bottom-up
    auto* copied = static_cast<Pixel*>(Info(copy).dsBm.bmBits);
    auto* greyed = static_cast<Pixel*>(Info(greyCopy).dsBm.bmBits);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(i == 4 || copied[i] == cases[i].copy) << i;
        EXPECT_TRUE(i == 3 || greyed[i] == cases[i].grey) << i;
    }
    EXPECT_EQ(FreeAlphaCopy(greyCopy), 1);

    // Drawn at its own size one pixel in, over white, through a source DC that is left
    // holding what it held: opaque pixels replace the white, the half-covered one mixes with it.
    Pixel* target = nullptr;
    HBITMAP canvas = Section(7, 1, &target);
    for (int i = 0; i < 7; ++i)
        target[i] = {255, 255, 255, 255};
    HGDIOBJ old = SelectObject(dc, canvas);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ before = GetCurrentObject(source, OBJ_BITMAP);
    EXPECT_EQ(DrawAlphaBitmap(dc, 1, 0, 0, 0, copy, source, 255), 1);
    EXPECT_EQ(GetCurrentObject(source, OBJ_BITMAP), before);
    GdiFlush();
    for (int i : {0, 1, 6})
        EXPECT_EQ(target[i].red + target[i].green + target[i].blue, 3 * 255) << i;
    EXPECT_TRUE(target[2] == cases[1].in && target[3] == cases[2].in);
    EXPECT_NEAR(target[4].green, 50 + 127, 2);
    EXPECT_NEAR(target[4].red, 100 + 127, 2);
    EXPECT_NEAR(target[5].blue, 127 + 127, 2);
    EXPECT_EQ(DrawAlphaBitmap(dc, 0, 0, 1, 1, copy, nullptr, 255), 1); // a DC of its own
    SelectObject(dc, old);
    DeleteDC(source);
    DeleteDC(dc);
    for (HBITMAP made : {copy, bitmap, canvas})
        DeleteObject(made);
}

// Without msimg32 every alpha operation gives nothing and deletes nothing; the mask an image
// list gets does not depend on it: from alpha while icons are not themed, all opaque where
// there is no alpha to go by (none anywhere, or not 32 bits).
TEST_F(AlphaTest, MasksAndAlphaQueriesByBitmapAndSupport) {
    Pixel* pixels = nullptr;
    HBITMAP partial = Section(3, 2, &pixels), none = Section(3, 2), plain = Section(2, 2, nullptr, 24);
    pixels[0].alpha = 255; // bottom-left
    const bool fromAlpha = !ThemedAlphaIcons();
    struct {
        HBITMAP bitmap;
        bool support;
        int hasAlpha;
        bool clear; // the mask's pixel beside the opaque one
    } cases[] = {
        {partial, true, 1, fromAlpha},  {none, true, 1, false},  {plain, true, 0, false},
        {partial, false, 0, fromAlpha}, {none, false, 0, false},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& c : cases) {
        if (!c.support) EndImageSupport();
        EXPECT_EQ(AlphaBlendAvailable(), c.support ? 1 : 0);
        EXPECT_EQ(BitmapHasAlpha(c.bitmap), c.hasAlpha);
        if (!c.support) {
            EXPECT_EQ(MakeAlphaCopy(c.bitmap, nullptr, 0), nullptr);
            EXPECT_EQ(MakeAlphaCopy(c.bitmap, nullptr, 1), nullptr);
            EXPECT_EQ(DrawAlphaBitmap(dc, 0, 0, 0, 0, c.bitmap, nullptr, 255), 0);
            EXPECT_EQ(FreeAlphaCopy(c.bitmap), 0);
            EXPECT_NE(GetObjectType(c.bitmap), 0u); // not deleted
        }
        HBITMAP mask = MakeMaskFromAlpha(c.bitmap);
        ASSERT_NE(mask, nullptr);
        BITMAP info{};
        GetObjectA(mask, sizeof info, &info);
        EXPECT_EQ(info.bmBitsPixel * 100 + info.bmWidth, c.bitmap == plain ? 102 : 103);
        HGDIOBJ old = SelectObject(dc, mask);
        EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0)); // opaque
        EXPECT_EQ(GetPixel(dc, 1, 0), c.clear ? RGB(255, 255, 255) : RGB(0, 0, 0));
        SelectObject(dc, old);
        DeleteObject(mask);
        InitImageSupport();
    }
    EXPECT_EQ(BitmapHasAlpha(reinterpret_cast<HBITMAP>(GetStockObject(WHITE_BRUSH))), 0);
    DeleteDC(dc);
    for (HBITMAP bitmap : {partial, none, plain})
        DeleteObject(bitmap);
}

} // namespace
