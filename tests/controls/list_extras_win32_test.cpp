#include "controls/list_extras.h"
#include "controls/list_gadget.h"
#include "images/images.h"
#include "tests/controls/list_test_support.h"

using namespace list_test;

namespace {

using ListExtrasTest = ListFixture;

void AddRows(int count) {
    for (int i = 0; i < count; ++i)
        InsertGadgetItem(TestList, -1, "a\nb", nullptr, 0);
}

TEST_F(ListExtrasTest, CellColoursReadBackAsWritten) {
    MakeList();
    InsertGadgetColumn(TestList, 1, "B", 60);
    AddRows(2);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 0), -1);
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(10, 20, 30), 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 1), RGB(10, 20, 30));
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 1), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 0), -1);
    // Black is a colour, not "unset".
    WriteGadgetItemColor(TestList, 0, ColorBackground, RGB(0, 0, 0), 0);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, 0), 0);
    // A negative column reads column 0; a column past the header, a wrong type: -1.
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorBackground, -1), 0);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 2), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, 3, 1), -1);
    // Rows and columns outside the list are ignored.
    WriteGadgetItemColor(TestList, 5, ColorText, RGB(1, 1, 1), 0);
    WriteGadgetItemColor(TestList, 1, ColorText, RGB(1, 1, 1), 9);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 1, ColorText, 0), -1);
    // Writing -1 unsets.
    WriteGadgetItemColor(TestList, 0, ColorText, -1, 1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 0, ColorText, 1), -1);
}

TEST_F(ListExtrasTest, AllRowsAllColumnsColoursOnlyExistingRows) {
    MakeList();
    InsertGadgetColumn(TestList, 1, "B", 60);
    AddRows(3);
    WriteGadgetItemColor(TestList, -1, ColorBackground, RGB(1, 2, 3), -1);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 2; ++column)
            EXPECT_EQ(ReadGadgetItemColor(TestList, row, ColorBackground, column), RGB(1, 2, 3))
                << row << column;
    AddRows(1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 3, ColorBackground, 0), -1);
    EXPECT_EQ(ReadGadgetItemColor(TestList, 3, ColorBackground, 1), -1);
}

TEST_F(ListExtrasTest, RowValues) {
    MakeList();
    AddRows(2);
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), 0);
    WriteGadgetItemData(TestList, 0, -7);
    WriteGadgetItemData(TestList, 1, 0x7FFFFFFF);
    WriteGadgetItemData(TestList, 2, 99); // no such row
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), -7);
    EXPECT_EQ(ReadGadgetItemData(TestList, 1), 0x7FFFFFFF);
    EXPECT_EQ(ReadGadgetItemData(TestList, 2), 0);
    // The value and the colours share the row's block.
    WriteGadgetItemColor(TestList, 0, ColorText, RGB(5, 5, 5), 0);
    EXPECT_EQ(ReadGadgetItemData(TestList, 0), -7);
}

TEST_F(ListExtrasTest, ListColours) {
    MakeList();
    int defaultText = ReadGadgetColor(TestList, ColorText);
    int defaultBack = ReadGadgetColor(TestList, ColorBackground);
    EXPECT_EQ(defaultText, DefaultListTextColor());
    EXPECT_EQ(defaultBack, DefaultListBackColor());
    EXPECT_EQ(ReadGadgetColor(TestList, ColorGridLines), -1);
    EXPECT_EQ(ReadGadgetColor(TestList, 4), -1);

    WriteGadgetColor(TestList, ColorText, RGB(200, 0, 0));
    WriteGadgetColor(TestList, ColorBackground, RGB(0, 0, 100));
    EXPECT_EQ(ReadGadgetColor(TestList, ColorText), RGB(200, 0, 0));
    EXPECT_EQ(ReadGadgetColor(TestList, ColorBackground), RGB(0, 0, 100));
    EXPECT_EQ(SendMessageA(list, LVM_GETTEXTBKCOLOR, 0, 0), RGB(0, 0, 100));
    EXPECT_EQ(FindGadget(TestList)->flags, ListGridLines | ListTextColorSet | ListBackColorSet);

    WriteGadgetColor(TestList, ColorText, -1);
    WriteGadgetColor(TestList, ColorBackground, -1);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorText), defaultText);
    EXPECT_EQ(ReadGadgetColor(TestList, ColorBackground), defaultBack);
    // Reading colours leaves the grid lines on.
    EXPECT_EQ(FindGadget(TestList)->flags, ListGridLines);
}

TEST_F(ListExtrasTest, DisplayModeAndColumnWidth) {
    MakeList();
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 3);
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 1);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 1);
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & LVS_TYPEMASK, LVS_SMALLICON);
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 2);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 2);
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 7);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 0);
    WriteGadgetAttribute(TestList, ListAttributeDisplayMode, 3);
    EXPECT_EQ(ReadGadgetAttribute(TestList, ListAttributeDisplayMode), 3);
    EXPECT_EQ(ReadGadgetAttribute(TestList, 1), 0);

    EXPECT_EQ(ReadGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 0), 150);
    WriteGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 0, 77);
    EXPECT_EQ(ReadGadgetItemAttribute(TestList, ListItemAttributeColumnWidth, 0), 77);
    EXPECT_EQ(ReadGadgetItemAttribute(TestList, 2, 0), 0);
}

class ListImages : public ListFixture {
  protected:
    HICON icon = nullptr, otherIcon = nullptr;
    HBITMAP bitmap = nullptr;

    void SetUp() override {
        ListFixture::SetUp();
        MakeList();
        icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));      // IDI_APPLICATION
        otherIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32516)); // IDI_INFORMATION
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, 40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        std::memset(bits, 0xFF, 40 * 40 * 4);
    }
    void TearDown() override {
        ListFixture::TearDown();
        DeleteObject(bitmap);
    }
    int ImageOf(int row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    HIMAGELIST Small() {
        return reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    }
};

TEST_F(ListImages, OneEntryPerImageAfterThePlaceholder) {
    EXPECT_EQ(FindGadget(TestList)->imageLists, nullptr);
    InsertGadgetItem(TestList, -1, "a", icon, 0);
    InsertGadgetItem(TestList, -1, "b", icon, 0);
    InsertGadgetItem(TestList, -1, "c", otherIcon, 0);
    InsertGadgetItem(TestList, -1, "d", bitmap, 0);
    InsertGadgetItem(TestList, -1, "e", bitmap, 0);
    EXPECT_EQ(ImageOf(0), 1);
    EXPECT_EQ(ImageOf(1), 1);
    EXPECT_EQ(ImageOf(2), 2);
    EXPECT_EQ(ImageOf(3), 3);
    EXPECT_EQ(ImageOf(4), 3);
    ItemImageLists* lists = FindGadget(TestList)->imageLists;
    ASSERT_NE(lists, nullptr);
    EXPECT_EQ(Small(), lists->small);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)),
              lists->large);
    EXPECT_EQ(ImageList_GetImageCount(lists->small), 4);
    EXPECT_EQ(ImageList_GetImageCount(lists->large), 4);
    int width = 0, height = 0;
    ImageList_GetIconSize(lists->small, &width, &height);
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSMICON)); // the 40x40 bitmap was scaled
    EXPECT_EQ(lists->count, 3);

    DeleteAllGadgetItems(TestList);
    EXPECT_EQ(ImageList_GetImageCount(lists->small), 1); // the placeholder again
    InsertGadgetItem(TestList, -1, "f", otherIcon, 0);
    EXPECT_EQ(ImageOf(0), 1);
}

TEST_F(ListImages, CacheGrowsPastItsFirstSize) {
    std::vector<HBITMAP> bitmaps;
    for (int i = 0; i < 30; ++i) {
        bitmaps.push_back(CreateBitmap(16, 16, 1, 32, nullptr));
        InsertGadgetItem(TestList, -1, "row", bitmaps.back(), 0);
    }
    EXPECT_EQ(ImageOf(29), 30);
    InsertGadgetItem(TestList, -1, "again", bitmaps[27], 0);
    EXPECT_EQ(ImageOf(30), 28);
    EXPECT_EQ(FindGadget(TestList)->imageLists->capacity, 50);
    for (HBITMAP b : bitmaps)
        DeleteObject(b);
}

TEST_F(ListImages, ImagesFromTheImageTable) {
    // A toolbar icon of the program, as the application makes it.
    std::string path = std::string(VERRIQ_TEST_DATA) + "/../../resources/add.ico";
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<unsigned char> data(8192);
    data.resize(fread(data.data(), 1, data.size(), file));
    fclose(file);
    ASSERT_NE(ImageFromMemory(9, data.data(), data.size()), 0);
    InsertGadgetItem(TestList, -1, "icon", ImageHandle(9), 0);
    EXPECT_EQ(ImageOf(0), 1);
    // A destroyed list takes its image lists with it but leaves the image alone.
    FreeGadget(TestList);
    EXPECT_EQ(GadgetHandle(TestList), nullptr);
    EXPECT_NE(ImageHandle(9), nullptr);
    ReleaseImage(9);
}

} // namespace
