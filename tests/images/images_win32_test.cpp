#include "images/images.h"
#include "tests/images/image_data.h"

#include <gtest/gtest.h>

using namespace image_data;

namespace {

// The colour an icon shows in its middle, drawn on white (or black).
COLORREF IconCentre(HANDLE icon, int size, int background = WHITE_BRUSH) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(background)));
    DrawIconEx(dc, 0, 0, static_cast<HICON>(icon), size, size, 0, nullptr, DI_NORMAL);
    COLORREF colour = GetPixel(dc, size / 2, size / 2);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return colour;
}

unsigned char* DibBits(HANDLE bitmap) {
    DIBSECTION section{};
    return GetObjectA(bitmap, sizeof section, &section) ? static_cast<unsigned char*>(section.dsBm.bmBits)
                                                        : nullptr;
}

class ImagesTest : public ::testing::Test {
  protected:
    void SetUp() override { InitImages(); }
    void TearDown() override { ReleaseAllImages(); }
};

TEST_F(ImagesTest, IconPictureChoicePrefersDepthAtTheFirstPicturesSize) {
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
    struct {
        std::vector<IconEntry> entries;
        int side;
        COLORREF shown;
    } cases[] = {
        // Same size as the first and more bits wins; a bigger picture does not compete.
        {{{16, 16, 8, red}, {32, 32, 32, green}, {16, 16, 32, blue}}, 16, blue},
        // Ties keep the earlier picture.
        {{{16, 16, 32, red}, {16, 16, 32, blue}}, 16, red},
    };
    for (const auto& c : cases) {
        Bytes data = Icon(c.entries);
        Number handle = ImageFromMemory(1, data.data(), data.size());
        ASSERT_NE(handle, 0);
        EXPECT_EQ(reinterpret_cast<Number>(ImageHandle(1)), handle);
        EXPECT_EQ(FindImage(1)->width, c.side);
        EXPECT_EQ(FindImage(1)->height, c.side);
        EXPECT_EQ(IconCentre(ImageHandle(1), c.side), c.shown) << c.entries.size();
    }
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
            EXPECT_NE(IconCentre(ImageHandle(2), expected, BLACK_BRUSH), RGB(0, 0, 0)) << name;
        }
    }
}

TEST_F(ImagesTest, BitmapsBecomeDibSectionsWithTheirColoursAndAlpha) {
    // A palette picture is raised to 24 bits.
    Bytes data = Bitmap(5, 3, 8, RGB(10, 20, 30));
    ASSERT_NE(ImageFromMemory(3, data.data()), 0);
    EXPECT_EQ(GetObjectType(ImageHandle(3)), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(FindImage(3)->width * 100 + FindImage(3)->height, 503);
    EXPECT_EQ(FindImage(3)->depth, 24);
    unsigned char* pixels = DibBits(ImageHandle(3));
    EXPECT_EQ(RGB(pixels[2], pixels[1], pixels[0]), RGB(10, 20, 30));

    // No alpha at all means the picture was never meant to be transparent.
    data = Bitmap(4, 4, 32, RGB(1, 2, 3), 0);
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(FindImage(1)->depth, 32);
    pixels = DibBits(ImageHandle(1));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(pixels[i * 4 + 3], 255) << i;
    // Some alpha: kept as it is. Top-down data keeps its orientation.
    data = Bitmap(4, -4, 32, RGB(1, 2, 3), 0);
    data[14 + 40 + 3] = 77;
    ASSERT_NE(ImageFromMemory(1, data.data(), data.size()), 0);
    EXPECT_EQ(FindImage(1)->height, 4);
    pixels = DibBits(ImageHandle(1));
    EXPECT_EQ(pixels[3], 77);
    EXPECT_EQ(pixels[7], 0);
}

TEST_F(ImagesTest, DataThatIsNoPictureOrClaimsMoreThanItHoldsNamesNoImage) {
    const char text[] = "not a picture at all";
    Bytes icon = Icon({{32, 32, 32, RGB(0, 0, 0)}});
    Bytes bitmap = Bitmap(8, 8, 24, RGB(0, 0, 0));
    Bytes wrongType = icon, noPictures = icon, brokenHeader = bitmap;
    wrongType[2] = 2;
    noPictures[4] = 0;
    Put32(brokenHeader, 18, 0);
    struct {
        const void* data;
        std::size_t size;
    } cases[] = {
        {text, sizeof text},
        {nullptr, UnknownImageSize},
        {wrongType.data(), wrongType.size()},
        {noPictures.data(), noPictures.size()},
        {brokenHeader.data(), brokenHeader.size()},
        {icon.data(), icon.size() - 1},
        {icon.data(), 5},
        {bitmap.data(), bitmap.size() - 1},
        {bitmap.data(), 20},
    };
    for (const auto& c : cases) {
        // Whatever the number held before is gone.
        ASSERT_NE(ImageFromMemory(4, icon.data(), icon.size()), 0);
        EXPECT_EQ(ImageFromMemory(4, c.data, c.size), 0) << c.size;
        EXPECT_EQ(ImageHandle(4), nullptr);
        EXPECT_EQ(FindImage(4), nullptr);
    }
    EXPECT_EQ(ImageFromMemory(AnyNumber, text), 0);
}

TEST_F(ImagesTest, DynamicNumbersAndReleaseDeleteWhatTheyHeld) {
    Bytes icon = Icon({{16, 16, 32, RGB(0, 0, 0)}}), bitmap = Bitmap(2, 2, 24, RGB(0, 0, 0));
    Number dynamic = ImageFromMemory(AnyNumber, icon.data());
    ASSERT_NE(ImageHandle(dynamic), nullptr);
    EXPECT_NE(reinterpret_cast<Number>(ImageHandle(dynamic)), dynamic);
    ReleaseImage(-1);
    ReleaseImage(77); // free numbers: nothing
    ASSERT_NE(ImageHandle(dynamic), nullptr);
    ReleaseImage(dynamic);
    EXPECT_EQ(ImageHandle(dynamic), nullptr);
    ASSERT_NE(ImageFromMemory(6, icon.data()), 0);
    ASSERT_NE(ImageFromMemory(7, bitmap.data()), 0);
    HANDLE bitmapHandle = ImageHandle(7);
    ReleaseAllImages();
    EXPECT_TRUE(!ImageHandle(6) && !ImageHandle(7));
    EXPECT_EQ(GetObjectType(bitmapHandle), 0u); // deleted
}

} // namespace
