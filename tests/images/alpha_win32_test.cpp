#include "images/alpha.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Pixel {
    unsigned char blue, green, red, alpha;
};

// A bottom-up 32-bit DIB section whose pixels the test fills in.
HBITMAP Section(int width, int height, Pixel** pixels, int bits = 32) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    void* bits_ = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (pixels) *pixels = static_cast<Pixel*>(bits_);
    return bitmap;
}

Pixel* Bits(HBITMAP section) {
    DIBSECTION info{};
    GetObjectA(section, sizeof info, &info);
    return static_cast<Pixel*>(info.dsBm.bmBits);
}

class AlphaTest : public ::testing::Test {
  protected:
    void SetUp() override { InitImageSupport(); }
};

TEST_F(AlphaTest, GreyingPullsWhiteAndBlackTowardsTheMiddle) {
    EXPECT_EQ(GreyLevel(255, 255, 255), 236);
    EXPECT_EQ(GreyLevel(0, 0, 0), 20);
    EXPECT_EQ(GreyLevel(128, 128, 128), 128);
    // Green weighs most: 6/10.
    EXPECT_EQ(GreyLevel(0, 100, 0), 62); // 60, pulled up towards the middle

    ASSERT_TRUE(AlphaBlendAvailable());
    Pixel* pixels = nullptr;
    HBITMAP bitmap = Section(3, 1, &pixels);
    pixels[0] = {255, 255, 255, 255};
    pixels[1] = {0, 0, 0, 255};
    pixels[2] = {255, 255, 255, 128}; // half covered: half the grey, alpha kept
    HBITMAP grey = MakeAlphaCopy(bitmap, nullptr, 1);
    ASSERT_NE(grey, nullptr);
    Pixel* out = Bits(grey);
    EXPECT_EQ(out[0].red, 236);
    EXPECT_EQ(out[0].green, 236);
    EXPECT_EQ(out[0].blue, 236);
    EXPECT_EQ(out[0].alpha, 255);
    EXPECT_EQ(out[1].red, 20);
    EXPECT_EQ(out[1].blue, 20);
    EXPECT_EQ(out[2].green, static_cast<int>(128 / 255.0f * 236));
    EXPECT_EQ(out[2].alpha, 128);
    EXPECT_EQ(FreeAlphaCopy(grey), 1);
    DeleteObject(bitmap);
}

TEST_F(AlphaTest, CopyIsPremultipliedWhereNotOpaque) {
    Pixel* pixels = nullptr;
    HBITMAP bitmap = Section(2, 1, &pixels);
    pixels[0] = {50, 100, 200, 128};
    pixels[1] = {50, 100, 200, 255};
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP copy = MakeAlphaCopy(bitmap, dc, 0);
    ASSERT_NE(copy, nullptr);
    Pixel* out = Bits(copy);
    EXPECT_EQ(out[0].blue, (50 * 128) >> 8);
    EXPECT_EQ(out[0].green, (100 * 128) >> 8);
    EXPECT_EQ(out[0].red, (200 * 128) >> 8);
    EXPECT_EQ(out[0].alpha, 128);
    EXPECT_EQ(out[1].red, 200);
    EXPECT_EQ(out[1].blue, 50);
    DIBSECTION info{};
    ASSERT_TRUE(GetObjectA(copy, sizeof info, &info));
    EXPECT_EQ(info.dsBm.bmBitsPixel, 32);
    EXPECT_GT(info.dsBmih.biHeight, 0); // bottom-up
    FreeAlphaCopy(copy);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST_F(AlphaTest, DrawBlendsPerPixelOverTheTarget) {
    Pixel* source = nullptr;
    HBITMAP redSquare = Section(2, 2, &source);
    for (int i = 0; i < 4; ++i)
        source[i] = {0, 0, 255, 255};
    source[0] = {0, 0, 128, 128}; // bottom-left, premultiplied half red
    Pixel* target = nullptr;
    HBITMAP canvas = Section(4, 4, &target);
    for (int i = 0; i < 16; ++i)
        target[i] = {255, 255, 255, 255};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, canvas);
    EXPECT_EQ(DrawAlphaBitmap(dc, 1, 1, 0, 0, redSquare, nullptr, 255), 1);
    GdiFlush();
    int red = 0, pink = 0, white = 0;
    for (int i = 0; i < 16; ++i) {
        const Pixel& p = target[i];
        if (p.red == 255 && p.green == 0 && p.blue == 0)
            ++red;
        else if (p.red == 255 && p.green > 100 && p.green < 160 && p.green == p.blue)
            ++pink;
        else if (p.red == 255 && p.green == 255 && p.blue == 255)
            ++white;
    }
    EXPECT_EQ(red, 3);
    EXPECT_EQ(pink, 1);
    EXPECT_EQ(white, 12);

    HDC sourceDc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = GetCurrentObject(sourceDc, OBJ_BITMAP);
    EXPECT_EQ(DrawAlphaBitmap(dc, 0, 0, 1, 1, redSquare, sourceDc, 128), 1);
    EXPECT_EQ(GetCurrentObject(sourceDc, OBJ_BITMAP), before);
    DeleteDC(sourceDc);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(canvas);
    DeleteObject(redSquare);
}

TEST_F(AlphaTest, BitmapHasAlphaByKind) {
    HBITMAP section32 = Section(1, 1, nullptr);
    HBITMAP section24 = Section(1, 1, nullptr, 24);
    EXPECT_EQ(BitmapHasAlpha(section32), 1);
    EXPECT_EQ(BitmapHasAlpha(section24), 0);
    EXPECT_EQ(BitmapHasAlpha(reinterpret_cast<HBITMAP>(GetStockObject(WHITE_BRUSH))), 0);
    DeleteObject(section32);
    DeleteObject(section24);
}

TEST_F(AlphaTest, MaskFollowsAlphaUnlessThemed) {
    Pixel* pixels = nullptr;
    HBITMAP bitmap = Section(3, 2, &pixels);
    std::memset(pixels, 0, 6 * sizeof(Pixel));
    pixels[0].alpha = 255; // bottom-left
    HBITMAP mask = MakeMaskFromAlpha(bitmap);
    ASSERT_NE(mask, nullptr);
    BITMAP info{};
    GetObjectA(mask, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, mask);
    if (ThemedAlphaIcons()) {
        EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 0));
    } else {
        EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0));       // alpha: opaque
        EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 255, 255)); // no alpha: transparent
    }
    SelectObject(dc, old);
    DeleteObject(mask);

    // No alpha anywhere: everything opaque.
    pixels[0].alpha = 0;
    mask = MakeMaskFromAlpha(bitmap);
    old = SelectObject(dc, mask);
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(mask);

    // Not 32 bits: everything opaque.
    HBITMAP plain = Section(2, 2, nullptr, 24);
    mask = MakeMaskFromAlpha(plain);
    old = SelectObject(dc, mask);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(mask);
    DeleteObject(plain);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST_F(AlphaTest, WithoutMsimg32EveryAlphaOperationGivesZero) {
    HBITMAP bitmap = Section(2, 2, nullptr);
    EndImageSupport();
    EXPECT_EQ(AlphaBlendAvailable(), 0);
    EXPECT_EQ(BitmapHasAlpha(bitmap), 0);
    EXPECT_EQ(MakeAlphaCopy(bitmap, nullptr, 0), nullptr);
    EXPECT_EQ(MakeAlphaCopy(bitmap, nullptr, 1), nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(DrawAlphaBitmap(dc, 0, 0, 0, 0, bitmap, nullptr, 255), 0);
    EXPECT_EQ(FreeAlphaCopy(bitmap), 0);
    EXPECT_NE(GetObjectType(bitmap), 0u); // not deleted
    DeleteDC(dc);
    InitImageSupport();
    EXPECT_EQ(AlphaBlendAvailable(), 1);
    EXPECT_EQ(BitmapHasAlpha(bitmap), 1);
    DeleteObject(bitmap);
}

} // namespace
