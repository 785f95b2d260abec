// The main window's contents as the program builds them: the pictures, the menu tree, the
// toolbar, the status bar and the list.
#include "app/layout.h"

#include "controls/gadget.h"
#include "controls/toolbar.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "tests/app/app_test_support.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>

using namespace apptest;

namespace {

template <class T> T At(const unsigned char* data, size_t offset) {
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

} // namespace

TEST(ToolbarPictures, AreCompleteIconFilesOfTheAgreedLayout) {
    for (int resource : {IDR_ICON_ADD, IDR_ICON_REMOVE, IDR_ICON_QUIT, IDR_ICON_FOLDER}) {
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10));
        ASSERT_NE(found, nullptr) << resource;
        ASSERT_EQ(SizeofResource(nullptr, found), 4286u) << resource;
        auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
        // Directory: reserved 0, type 1, one picture.
        EXPECT_EQ(At<std::uint16_t>(data, 0), 0);
        EXPECT_EQ(At<std::uint16_t>(data, 2), 1);
        EXPECT_EQ(At<std::uint16_t>(data, 4), 1);
        // Entry: 32 x 32, no palette, 1 plane, 32 bits, 4264 bytes at 22.
        EXPECT_EQ(data[6], 32);
        EXPECT_EQ(data[7], 32);
        EXPECT_EQ(data[8], 0);
        EXPECT_EQ(At<std::uint16_t>(data, 10), 1);
        EXPECT_EQ(At<std::uint16_t>(data, 12), 32);
        EXPECT_EQ(At<std::uint32_t>(data, 14), 4264u);
        EXPECT_EQ(At<std::uint32_t>(data, 18), 22u);
        // BITMAPINFOHEADER: 40, 32 wide, 64 high (colour and mask), 1 plane, 32 bits, no compression.
        EXPECT_EQ(At<std::uint32_t>(data, 22), 40u);
        EXPECT_EQ(At<std::int32_t>(data, 26), 32);
        EXPECT_EQ(At<std::int32_t>(data, 30), 64);
        EXPECT_EQ(At<std::uint16_t>(data, 34), 1);
        EXPECT_EQ(At<std::uint16_t>(data, 36), 32);
        EXPECT_EQ(At<std::uint32_t>(data, 38), 0u);
        // The picture uses its alpha channel: some pixels are transparent, some opaque.
        int transparent = 0, opaque = 0;
        for (int i = 0; i < 32 * 32; ++i) {
            unsigned char alpha = data[62 + i * 4 + 3];
            transparent += alpha == 0;
            opaque += alpha == 255;
        }
        EXPECT_GT(transparent, 100) << resource;
        EXPECT_GT(opaque, 100) << resource;
    }
}

class Layout : public MainWindowTest {};

TEST_F(Layout, MenuToolbarStatusBarAndListAreWhereTheyBelong) {
    for (int image : {ImageAdd, ImageFolder, ImageRemove, ImageQuit}) EXPECT_NE(ImageHandle(image), nullptr) << image;

    HMENU bar = GetMenu(WindowHandle(WindowMain));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    HMENU program = GetSubMenu(bar, 0), help = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(program), 2);
    EXPECT_EQ(GetMenuItemID(program, 0), static_cast<UINT>(ItemChangeHotKey));
    EXPECT_EQ(GetMenuItemID(program, 1), static_cast<UINT>(ItemQuitMenu));
    ASSERT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(ItemAbout));

    HWND toolbar = ToolbarHandle(ToolbarMain);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_TRUE(GetWindowLongA(toolbar, GWL_STYLE) & TBSTYLE_LIST);
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    // Left to right: the two ways of adding, then removing, then quitting.
    const int order[] = {ItemAddFiles, ItemAddFolder, ItemRemoveFiles, ItemQuitButton};
    for (int index = 0; index < 4; ++index) {
        TBBUTTON button = {};
        SendMessageA(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
        int id = button.idCommand;
        EXPECT_EQ(id, order[index]) << index;
        wchar_t text[64] = L"";
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, id, reinterpret_cast<LPARAM>(text));
        EXPECT_GT(wcslen(text), 0u) << id;
        EXPECT_EQ(SendMessageA(toolbar, TB_ISBUTTONENABLED, id, 0) != 0, id != ItemRemoveFiles) << id;
    }
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);

    EXPECT_EQ(StatusText(), "0 Dateien werden geschützt");

    HWND list = GadgetHandle(GadgetFileList);
    ASSERT_NE(list, nullptr);
    RECT place = {};
    GetWindowRect(list, &place);
    MapWindowPoints(nullptr, WindowHandle(WindowMain), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, FileListTop);
    EXPECT_EQ(place.right - place.left, WindowInnerWidth(WindowMain));
    EXPECT_EQ(place.bottom - place.top, WindowInnerHeight(WindowMain) - FileListHeightReserve);
    LONG style = GetWindowLongA(list, GWL_STYLE);
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    EXPECT_FALSE(style & LVS_SINGLESEL);
    EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    RECT client = {};
    GetClientRect(list, &client);
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), client.right);
    EXPECT_STREQ(ReadGadgetItemText(GadgetFileList, -1, 0), "Geschützte Dateien");
    EXPECT_FALSE(IsWindowEnabled(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0))));
}
