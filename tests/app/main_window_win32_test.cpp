// The main window's one procedure as other programs and the system reach it: drops, blocks
// handed over by later starts, timers; and the order every change runs in, the list on disk
// before anything tells the user, even when the disk refuses it.
#include "app/main_window.h"

#include "app/protection/file_list_document.h"

#include "app/handover.h"
#include "app/storage.h"
#include "controls/gadget.h"
#include "controls/toolbar.h"
#include "settings/file_list_codec.h"
#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <shlobj.h>

#include <cstring>

using namespace apptest;

namespace {


// A drop as the shell makes it: DROPFILES, then the wide names, each ending in a zero, and one
// zero more. The window's receiver owns and frees it.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += ToWide(path) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

LRESULT HandOver(HWND window, ULONG_PTR tag, const void* block, DWORD size) {
    COPYDATASTRUCT data{tag, size, const_cast<void*>(block)};
    return SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

LRESULT HandOver(HWND window, ULONG_PTR tag, const std::vector<std::string>& paths) {
    std::vector<std::wstring> wide;
    for (const std::string& path : paths) wide.push_back(ToWide(path));
    std::wstring block = EncodeHandOver(wide).at(0);
    return HandOver(window, tag, block.data(), static_cast<DWORD>(block.size() * sizeof(wchar_t)));
}

std::vector<int> Selected() {
    std::vector<int> rows;
    for (int row = 0, n = GadgetItemCount(GadgetFileList); row < n; ++row)
        if (ReadGadgetItemState(GadgetFileList, row) & 1) rows.push_back(row);
    return rows;
}

} // namespace

class MainWindowOrder : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        EnsureStorageFolders(ProductName);
        EnsureFileListDocument(ProductName, FileListName);
        Serve();
        main = WindowHandle(WindowMain);
    }
    void TearDown() override {
        Refuse(false);
        MainWindowTest::TearDown();
    }
    std::string list() const { return storage + FileListName; }
    AnsweredBoxes boxes;
    // A folder where each save writes before it replaces the list: the disk refuses every save.
    void Refuse(bool refusing) {
        std::wstring in = TemporaryListPath(ToWide(list()));
        if (refusing)
            ASSERT_TRUE(CreateDirectoryW(in.c_str(), nullptr));
        else
            RemoveDirectoryW(in.c_str());
    }
    HWND main = nullptr;
};

TEST_F(MainWindowOrder, DropsAndHandedOverPathsBecomeHeldRowsThatAreOnDiskAtOnce) {
    std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt");
    SendMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({a, b})), 0);
    ASSERT_EQ(GadgetItemCount(GadgetFileList), 2);
    EXPECT_TRUE(IsHeld(a) && IsHeld(b));
    EXPECT_EQ(ReadBytes(list()), a + "\r\n" + b + "\r\n");

    // A block waits for the rest of its batch: the sender is answered before anything changes.
    EXPECT_EQ(HandOver(main, HandOverTag, {c, b}), HandOverReceipt);
    EXPECT_EQ(Protection().Files().size(), 2u);
    ASSERT_TRUE(PumpUntil([] { return Protection().Files().size() == 3; }));
    EXPECT_TRUE(IsHeld(c));
    EXPECT_EQ(ReadBytes(list()), a + "\r\n" + b + "\r\n" + c + "\r\n");
    // The whole batch is selected, the row already listed among it.
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(RemoveEnabled());

    // Blocks that are not ours, or broken, change nothing and are not taken.
    const wchar_t odd[] = L"C:\\x";
    EXPECT_EQ(HandOver(main, 0x1234, odd, sizeof odd), 0);
    EXPECT_EQ(HandOver(main, HandOverTag, odd, 3), FALSE);
    EXPECT_EQ(HandOver(main, HandOverTag, nullptr, 0), FALSE);

    // Released from outside: let go after the quiet time, and never stored as such.
    EXPECT_EQ(HandOver(main, ReleaseHandOverTag, {a}), HandOverReceipt);
    ASSERT_TRUE(PumpUntil([] { return Protection().Files()[0].state == LockState::Released; }));
    EXPECT_FALSE(IsHeld(a));
    EXPECT_TRUE(IsHeld(b) && IsHeld(c));
    EXPECT_EQ(ReadBytes(list()), a + "\r\n" + b + "\r\n" + c + "\r\n");
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(MainWindowOrder, ASaveTheDiskRefusesIsToldOnceWhileTheListOnDiskStaysWhole) {
    std::string a = MakeFile("a.txt"), b = MakeFile("b.txt");
    AddChosenFiles({a});
    const std::string before = ReadBytes(list());
    ASSERT_EQ(before, a + "\r\n");
    Refuse(true);

    // Add, level and remove all go on protecting while the disk refuses each save.
    AddChosenFiles({b});
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find(list()), std::string::npos) << boxes.seen[0].text;
    EXPECT_TRUE(IsHeld(b));
    WriteGadgetState(GadgetFileList, -1);
    Select(1);
    AllowReadingForSelection();
    EXPECT_TRUE(Protection().Files()[1].readable);
    WriteGadgetState(GadgetFileList, -1);
    Select(0);
    RemoveSelectedFiles();
    EXPECT_FALSE(IsHeld(a));
    EXPECT_EQ(boxes.seen.size(), 1u) << "the same failure told again";
    EXPECT_EQ(ReadBytes(list()), before) << "a refused save touched the list";

    // Once the disk takes it, the next change writes the whole list as it stands.
    Refuse(false);
    std::string c = MakeFile("c.txt");
    SendMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({c})), 0);
    std::string now = ReadBytes(list());
    EXPECT_NE(now.find(b), std::string::npos) << now;
    EXPECT_EQ(now.find(a), std::string::npos) << now;
    EXPECT_NE(now.find(c), std::string::npos) << now;
    EXPECT_EQ(boxes.seen.size(), 1u);

    // Nothing of the refused saves is left beside the list.
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((storage + "*").c_str(), &found);
    int files = 0;
    do
        files += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(files, 1);

    // A new failure after a good save is news again.
    Refuse(true);
    WriteGadgetState(GadgetFileList, -1);
    Select(0);
    RemoveSelectedFiles();
    EXPECT_EQ(boxes.seen.size(), 2u);
}

TEST_F(MainWindowOrder, ABatchStillWaitingGoesWithTheWindow) {
    std::string a = MakeFile("a.txt");
    EXPECT_EQ(HandOver(main, HandOverTag, {a}), HandOverReceipt);
    CloseTopWindow(WindowMain);
    EXPECT_EQ(served.Handle(), nullptr);
    Pump(600);
    EXPECT_TRUE(Protection().Files().empty());
    EXPECT_FALSE(IsHeld(a));
}

// What the user does through the menu, the toolbar and the list's keys reaches the model, the
// rows and the disk through the window's one procedure, in that order, and the selection after.
TEST_F(MainWindowOrder, MenuToolbarAndKeysChangeModelRowsAndDiskTogether) {
    std::string a = MakeFile("a.txt"), b = MakeFile("b.txt"), c = MakeFile("c.txt");
    AddChosenFiles({a, b, c});
    Pump(50);
    ASSERT_EQ(GadgetItemCount(GadgetFileList), 3);
    EXPECT_FALSE(RemoveEnabled());

    // Selecting a row reaches the window as the list's event: "Entfernen" follows it.
    Select(1);
    ASSERT_TRUE(PumpUntil([this] { return RemoveEnabled(); }));

    // The row menu's entry, as the menu sends it: the level changes, held and on disk at once.
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(ItemAllowReading, 0), 0);
    EXPECT_TRUE(Protection().Files()[1].readable);
    EXPECT_NE(ReadBytes(list()).find(b + std::string(ReadableSuffix)), std::string::npos) << ReadBytes(list());
    EXPECT_EQ(WhatGotThrough(b), ReadingOnly);

    // The toolbar's button: the row goes, the file is free, the list on disk without it.
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(ItemRemoveFiles, BN_CLICKED),
                 reinterpret_cast<LPARAM>(ToolbarHandle(ToolbarMain)));
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 2);
    EXPECT_FALSE(IsHeld(b));
    EXPECT_EQ(ReadBytes(list()), a + "\r\n" + c + "\r\n");
    Pump(50);
    EXPECT_FALSE(RemoveEnabled());

    // Entf on the list does what "Entfernen" does; with Strg it is the list's own.
    HWND listWindow = GadgetHandle(GadgetFileList);
    Select(0);
    SendMessageW(listWindow, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 1);
    EXPECT_FALSE(IsHeld(a));
    EXPECT_TRUE(IsHeld(c));
    EXPECT_EQ(ReadBytes(list()), c + "\r\n");

    // A number that is none of the window's commands changes nothing.
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(ItemReleasePeriodLast + 40, 0), 0);
    EXPECT_EQ(Protection().Files().size(), 1u);
    EXPECT_EQ(ReadBytes(list()), c + "\r\n");
    EXPECT_TRUE(boxes.seen.empty());
}
