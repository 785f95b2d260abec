#include "images/images.h"
#include "tests/images/image_data.h"

#include <gtest/gtest.h>

using namespace image_data;

namespace {

// The colour an icon shows in its middle, drawn on white.
COLORREF IconCentre(HICON icon, int size, int background = WHITE_BRUSH) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(background)));
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    COLORREF colour = GetPixel(dc, size / 2, size / 2);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return colour;
}

class ImagesTest : public ::testing::Test {
  protected:
    void SetUp() override { InitImages(); }
    void TearDown() override { ReleaseAllImages(); }
};

TEST_F(ImagesTest, IconWithOne32BitPictureKeepsSizeAndDepth) {
    Bytes data = Icon({{32, 32, 32, RGB(0, 0, 255)}});
    Number handle = ImageFromMemory(1, data.data());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(reinterpret_cast<Number>(ImageHandle(1)), handle);
    EXPECT_NE(GetObjectType(ImageHandle(1)), static_cast<DWORD>(OBJ_BITMAP));
    const ImageObject* image = FindImage(1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 32);
    EXPECT_EQ(image->height, 32);
    EXPECT_EQ(image->depth, 32);
    EXPECT_EQ(IconCentre(static_cast<HICON>(ImageHandle(1)), 32), RGB(0, 0, 255));
}

TEST_F(ImagesTest, ProgramIconsGiveThePictureNearestToEverySideAsked) {
    // The files the program itself carries: without a side the first picture (32 x 32, 32 bits)
    // as ever; with one, a picture of that very side, the large ones stored compressed, and
    // between two sides the larger one rather than a stretched one.
    for (const char* name : {"verriq.ico", "add.ico", "remove.ico", "quit.ico"}) {
        std::string path = std::string(VERRIQ_TEST_DATA) + "/../../resources/" + name;
        FILE* file = fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr) << path;
        Bytes data(1 << 16);
        data.resize(fread(data.data(), 1, data.size(), file));
        fclose(file);
        ASSERT_NE(ImageFromMemory(2, data.data(), data.size()), 0) << name;
        EXPECT_EQ(FindImage(2)->width, 32);
        EXPECT_EQ(FindImage(2)->depth, 32);
        for (int side : {16, 24, 32, 40, 48, 64, 200}) {
            ASSERT_NE(ImageFromMemory(2, data.data(), data.size(), side), 0) << name << " " << side;
            int expected = side == 40 ? 48 : side == 200 ? 64 : side;
            EXPECT_EQ(FindImage(2)->width, expected) << name << " " << side;
            EXPECT_EQ(FindImage(2)->height, expected) << name << " " << side;
            // The picture is drawn, not empty: every one of them is opaque in its middle.
            EXPECT_NE(IconCentre(static_cast<HICON>(ImageHandle(2)), expected, BLACK_BRUSH), RGB(0, 0, 0))
                << name;
        }
    }
}

TEST_F(ImagesTest, IconPictureChoicePrefersDepthAtTheFirstPicturesSize) {
    // Same size as the first and more bits wins; a bigger picture does not compete.
    Bytes data =
        Icon({{16, 16, 8, RGB(255, 0, 0)}, {32, 32, 32, RGB(0, 255, 0)}, {16, 16, 32, RGB(0, 0, 255)}});
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(FindImage(1)->width, 16);
    EXPECT_EQ(FindImage(1)->height, 16);
    EXPECT_EQ(IconCentre(static_cast<HICON>(ImageHandle(1)), 16), RGB(0, 0, 255));

    data = Icon({{32, 32, 4, RGB(255, 0, 0)}, {32, 32, 32, RGB(0, 0, 255)}});
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(FindImage(1)->width, 32);
    EXPECT_EQ(IconCentre(static_cast<HICON>(ImageHandle(1)), 32), RGB(0, 0, 255));

    // Ties keep the earlier picture.
    data = Icon({{16, 16, 32, RGB(255, 0, 0)}, {16, 16, 32, RGB(0, 0, 255)}});
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(IconCentre(static_cast<HICON>(ImageHandle(1)), 16), RGB(255, 0, 0));
}

TEST_F(ImagesTest, PaletteBitmapIsRaisedTo24Bits) {
    Bytes data = Bitmap(5, 3, 8, RGB(10, 20, 30));
    Number handle = ImageFromMemory(3, data.data());
    ASSERT_NE(handle, 0);
    HANDLE bitmap = ImageHandle(3);
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(FindImage(3)->width, 5);
    EXPECT_EQ(FindImage(3)->height, 3);
    EXPECT_EQ(FindImage(3)->depth, 24);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
    auto* pixel = static_cast<unsigned char*>(section.dsBm.bmBits);
    EXPECT_EQ(pixel[0], 30); // blue
    EXPECT_EQ(pixel[1], 20);
    EXPECT_EQ(pixel[2], 10);
}

TEST_F(ImagesTest, ThirtyTwoBitBitmapAlpha) {
    // No alpha at all means the picture was never meant to be transparent.
    Bytes data = Bitmap(4, 4, 32, RGB(1, 2, 3), 0);
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(FindImage(1)->depth, 32);
    DIBSECTION section{};
    ASSERT_TRUE(GetObjectA(ImageHandle(1), sizeof section, &section));
    auto* pixels = static_cast<unsigned char*>(section.dsBm.bmBits);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(pixels[i * 4 + 3], 255) << i;

    // Some alpha: kept as it is. Top-down data keeps its orientation.
    data = Bitmap(4, -4, 32, RGB(1, 2, 3), 0);
    data[14 + 40 + 3] = 77;
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    ASSERT_TRUE(GetObjectA(ImageHandle(1), sizeof section, &section));
    EXPECT_EQ(FindImage(1)->height, 4);
    pixels = static_cast<unsigned char*>(section.dsBm.bmBits);
    EXPECT_EQ(pixels[3], 77);
    EXPECT_EQ(pixels[7], 0);
}

TEST_F(ImagesTest, OtherDataNamesNoImage) {
    const char text[] = "not a picture at all";
    Bytes icon = Icon({{16, 16, 32, RGB(0, 0, 0)}});
    ASSERT_NE(ImageFromMemory(4, icon.data()), 0);
    EXPECT_EQ(ImageFromMemory(4, text), 0);
    EXPECT_EQ(ImageHandle(4), nullptr);
    EXPECT_EQ(FindImage(4), nullptr);
    EXPECT_EQ(ImageFromMemory(5, nullptr), 0);
    EXPECT_EQ(ImageHandle(5), nullptr);
    EXPECT_EQ(ImageFromMemory(AnyNumber, text), 0);

    // A wrong type word, no pictures, or "BM" with a broken header.
    Bytes bad = icon;
    bad[2] = 2;
    EXPECT_EQ(ImageFromMemory(4, bad.data(), bad.size()), 0);
    bad = icon;
    bad[4] = 0;
    EXPECT_EQ(ImageFromMemory(4, bad.data(), bad.size()), 0);
    Bytes bitmap = Bitmap(4, 4, 24, RGB(0, 0, 0));
    Put32(bitmap, 18, 0);
    EXPECT_EQ(ImageFromMemory(4, bitmap.data(), bitmap.size()), 0);
}

TEST_F(ImagesTest, KnownSizeRefusesDataThatClaimsMore) {
    Bytes icon = Icon({{32, 32, 32, RGB(0, 0, 0)}});
    EXPECT_EQ(ImageFromMemory(1, icon.data(), icon.size() - 1), 0);
    EXPECT_EQ(ImageFromMemory(1, icon.data(), 5), 0);
    Bytes bitmap = Bitmap(8, 8, 24, RGB(0, 0, 0));
    EXPECT_EQ(ImageFromMemory(1, bitmap.data(), bitmap.size() - 1), 0);
    EXPECT_EQ(ImageFromMemory(1, bitmap.data(), 20), 0);
    EXPECT_NE(ImageFromMemory(1, bitmap.data(), bitmap.size()), 0);
}

TEST_F(ImagesTest, DynamicImagesAndRelease) {
    Bytes icon = Icon({{16, 16, 32, RGB(0, 0, 0)}});
    Number dynamic = ImageFromMemory(AnyNumber, icon.data());
    ASSERT_NE(dynamic, 0);
    HANDLE handle = ImageHandle(dynamic);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(reinterpret_cast<Number>(handle), dynamic);

    ReleaseImage(-1); // nothing
    ReleaseImage(77); // a free number: nothing
    EXPECT_EQ(ImageHandle(dynamic), handle);

    ReleaseImage(dynamic);
    EXPECT_EQ(ImageHandle(dynamic), nullptr);

    ASSERT_NE(ImageFromMemory(6, icon.data()), 0);
    Bytes bitmap = Bitmap(2, 2, 24, RGB(0, 0, 0));
    ASSERT_NE(ImageFromMemory(7, bitmap.data()), 0);
    HANDLE bitmapHandle = ImageHandle(7);
    ReleaseAllImages();
    EXPECT_EQ(ImageHandle(6), nullptr);
    EXPECT_EQ(ImageHandle(7), nullptr);
    EXPECT_EQ(GetObjectType(bitmapHandle), 0u); // deleted
}

} // namespace
