// Paths from outside: the command line is read as the shell splits it and made full against
// the current folder, a block is decoded within its size alone and refused when malformed,
// each path is checked by itself, and what arrives is added as a drop adds it.
#include "app/handover.h"

#include "app/explorer_menu.h"
#include "controls/gadget.h"
#include "controls/menu.h"
#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

std::wstring Units(const std::vector<std::wstring>& paths) {
    std::wstring block;
    for (const std::wstring& path : paths) block += path + L'\0';
    return block;
}

std::vector<std::string> hiddenTexts;
void Arrive(const std::vector<std::wstring>& paths) {
    std::string told = AddArrivingPaths(paths);
    if (!told.empty()) hiddenTexts.push_back(told);
}


} // namespace

TEST(HandOver, TheCommandLineNamesFullPathsAfterTheArgumentOnly) {
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring here = folder;
    if (here.back() != L'\\') here += L'\\';
    struct Case {
        const wchar_t* line;
        bool asked;
        std::vector<std::wstring> paths;
    } cases[] = {
        {L"Verriq.exe", false, {}},
        {L"Verriq.exe /hintergrund C:\\a.txt", false, {}},
        {L"\"C:\\Pro gramme\\Verriq.exe\" /SchUeTzen \"C:\\mit Leer\\a.txt\" b.txt", true,
         {L"C:\\mit Leer\\a.txt", here + L"b.txt"}},
        {L"Verriq.exe vorher /schuetzen", true, {}},
        {L"Verriq.exe /schuetzen \"\" \"  \" C:\\x\\..\\y", true, {L"", L"", L"C:\\y"}},
        // A backslash before the closing quote reads as a quote of the path: it was a folder.
        {L"Verriq.exe /schuetzen \"C:\\Ordner\\\"", true, {L"C:\\Ordner\\"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> paths;
        EXPECT_EQ(PathsToProtect(c.line, &paths), c.asked) << FromWide(c.line);
        EXPECT_EQ(paths, c.paths) << FromWide(c.line);
    }
}

TEST(HandOver, BlocksComeBackAsTheyWentAndSplitAtTheBounds) {
    std::vector<std::wstring> paths;
    for (std::size_t i = 0; i < MaxHandOverPaths + 3; ++i) paths.push_back(L"C:\\Ä\\" + std::to_wstring(i) + L"\U0001F600");
    paths.push_back(std::wstring(MaxHandOverPathLength * 3, L'x'));
    std::vector<std::wstring> blocks = EncodeHandOver(paths), back;
    ASSERT_EQ(blocks.size(), 2u);
    for (const std::wstring& block : blocks) {
        std::vector<std::wstring> decoded;
        ASSERT_TRUE(DecodeHandOver(block.data(), block.size() * sizeof(wchar_t), &decoded));
        back.insert(back.end(), decoded.begin(), decoded.end());
    }
    ASSERT_EQ(back.size(), paths.size());
    // Cut, yet still too long for any receiver to take.
    EXPECT_FALSE(AcceptablePath(back.back()));
    EXPECT_LT(back.back().size(), paths.back().size());
    back.pop_back();
    paths.pop_back();
    EXPECT_EQ(back, paths);
}

TEST(HandOver, APathThatCannotTravelArrivesEmptyAndLeavesTheOthersInItsBlock) {
    // Too long, its last pair just past the length a receiver takes; and a lone surrogate.
    std::wstring pairAtTheEnd = L"C:\\" + std::wstring(MaxHandOverPathLength - 3, L'x') + L"\U0001F600";
    std::wstring lone = std::wstring(L"C:\\a") + L'\xD83D' + L".txt";
    std::vector<std::wstring> paths{L"C:\\vorher.txt", pairAtTheEnd, lone, L"C:\\nachher.txt"}, decoded;
    std::vector<std::wstring> blocks = EncodeHandOver(paths);
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_TRUE(DecodeHandOver(blocks[0].data(), blocks[0].size() * sizeof(wchar_t), &decoded));
    EXPECT_EQ(decoded, (std::vector<std::wstring>{paths[0], L"", L"", paths[3]}));
}

TEST(HandOver, AMalformedBlockIsRefusedWhole) {
    std::wstring good = Units({L"C:\\a.txt", L""});
    std::wstring many;
    for (std::size_t i = 0; i <= MaxHandOverPaths; ++i) many += L"C:\\x" + std::wstring(1, L'\0');
    std::wstring oversized(MaxHandOverBytes / sizeof(wchar_t) + 1, L'a');
    oversized.back() = L'\0';
    struct Case {
        const char* what;
        std::wstring units;
        std::size_t bytes; // the whole block when 0
        bool taken;
    } cases[] = {
        {"well-formed, an empty path in it", good, 0, true},
        {"no final zero", L"C:\\a.txt", 0, false},
        {"a zero only beyond the size", Units({L"C:\\a.txt"}), 8 * sizeof(wchar_t), false},
        {"an odd size", good, good.size() * sizeof(wchar_t) - 1, false},
        {"nothing", L"", 0, false},
        {"a lone high surrogate", Units({std::wstring(L"C:\\a") + L'\xD83D'}), 0, false},
        {"a lone low surrogate", Units({std::wstring(L"C:\\") + L'\xDE00' + L"a"}), 0, false},
        {"a pair", Units({L"C:\\\U0001F600"}), 0, true},
        {"too many paths", many, 0, false},
        {"beyond the size bound", oversized, 0, false},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> paths{L"übrig"};
        std::size_t bytes = c.bytes ? c.bytes : c.units.size() * sizeof(wchar_t);
        EXPECT_EQ(DecodeHandOver(c.units.data(), bytes, &paths), c.taken) << c.what;
        if (!c.taken) {
            EXPECT_TRUE(paths.empty()) << c.what;
        }
    }
    std::vector<std::wstring> paths;
    EXPECT_FALSE(DecodeHandOver(nullptr, 8, &paths));
}

TEST(HandOver, EachPathIsCheckedByItself) {
    struct Case {
        std::wstring path;
        bool taken;
    } cases[] = {
        {L"C:\\Daten\\Brief.txt", true},
        {L"\\\\server\\freigabe\\a.txt", true},
        {L"C:\\Grüße\\\U0001F600.txt", true},
        {std::wstring(L"C:\\") + std::wstring(MaxHandOverPathLength - 3, L'x'), true},
        {std::wstring(L"C:\\") + std::wstring(MaxHandOverPathLength - 2, L'x'), false},
        {L"", false},
        {L"relativ.txt", false},
        {L"\\ohne\\Laufwerk.txt", false},
        {L"C:ohne-Strich.txt", false},
        {L"\\\\?\\C:\\lang.txt", false},
        {L"\\\\.\\PhysicalDrive0", false},
        {L"C:\\a<b.txt", false},
        {L"C:\\frage?.txt", false},
        {L"C:\\a.txt:strom", false},
        {L"C:\\schräg/strich.txt", false},
        {std::wstring(L"C:\\tab\t.txt"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(AcceptablePath(c.path), c.taken) << FromWide(c.path);
}

class ArrivingPaths : public MainWindowTest {};

TEST_F(ArrivingPaths, AFileAFolderAndAMissingPathBecomeRowsAndTheBatchIsSelectedAndToldOnceWhenHidden) {
    std::string file = MakeFile("a.txt"), listed = MakeFile("b.txt"), folder = root + "\\Ordner";
    CreateDirectoryA(folder.c_str(), nullptr);
    AddChosenFiles({listed, MakeFile("c.txt")});
    ShowWindow(WindowHandle(WindowMain), SW_HIDE);

    Arrive({ToWide(file), ToWide(folder), ToWide(root + "\\fehlt.txt"), L"", L"C:\\a<b>.txt", ToWide(listed)});
    const std::vector<ProtectedFile>& files = Protection().Files();
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[2].path, file);
    EXPECT_EQ(files[3].path, folder + "\\");
    EXPECT_EQ(files[4].state, LockState::NotFound);
    EXPECT_TRUE(IsHeld(file));
    for (int row = 0; row < 5; ++row) EXPECT_EQ(ReadGadgetItemState(GadgetFileList, row) & 1, row == 1 ? 0 : 1) << row;
    ASSERT_EQ(hiddenTexts.size(), 1u);
    EXPECT_NE(hiddenTexts[0].find('4'), std::string::npos) << hiddenTexts[0];

    // One file: its name. Nothing acceptable, or the window shown: nothing told.
    Arrive({ToWide(MakeFile("einzeln.txt"))});
    Arrive({L"", L"relativ.txt"});
    ShowWindow(WindowHandle(WindowMain), SW_SHOWNA);
    Arrive({ToWide(MakeFile("sichtbar.txt"))});
    ASSERT_EQ(hiddenTexts.size(), 2u);
    EXPECT_NE(hiddenTexts[1].find("einzeln.txt"), std::string::npos) << hiddenTexts[1];
    EXPECT_EQ(Protection().Files().size(), 7u);
    EXPECT_EQ(ReadGadgetState(GadgetFileList), 6);
    EXPECT_TRUE(RemoveEnabled());
}

class ExplorerMenuEntry : public MainWindowTest {
  protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\VerriqTest");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\Directory\\shell\\VerriqTest");
        MainWindowTest::TearDown();
    }
    static bool Checked() { return GetMenuState(MenuHandle(MenuMain), ItemOfferInExplorer, MF_BYCOMMAND) & MF_CHECKED; }
};

TEST_F(ExplorerMenuEntry, TheMarkBelievesOnlyBothVerbsForThisExeAndAFailedWriteIsTold) {
    AnsweredBoxes boxes;
    ShowExplorerMenuState();
    ASSERT_FALSE(Checked());
    ToggleExplorerMenu();
    EXPECT_TRUE(Checked() && ExplorerMenuActive());

    // Another exe in one verb, or one verb gone: shown off, and choosing it writes both again.
    const wchar_t* const folderCommand = L"Software\\Classes\\Directory\\shell\\VerriqTest\\command";
    const wchar_t other[] = L"\"C:\\Alt\\Verriq.exe\" /schuetzen \"%1\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, folderCommand, nullptr, REG_SZ, other, sizeof other), ERROR_SUCCESS);
    EXPECT_FALSE(ExplorerMenuActive());
    ShowExplorerMenuState();
    ToggleExplorerMenu();
    EXPECT_TRUE(Checked() && ExplorerMenuActive());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\*\\shell\\VerriqTest");
    EXPECT_FALSE(ExplorerMenuActive());
    ToggleExplorerMenu(); // shown on: off, and the folder verb goes too
    EXPECT_FALSE(Checked());
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Directory\\shell\\VerriqTest", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_TRUE(boxes.seen.empty());

    // The registry refuses a key name longer than it allows: told with the key, nothing left.
    const char* name = ProductName;
    std::string tooLong(300, 'V');
    ProductName = tooLong.c_str();
    ToggleExplorerMenu();
    bool active = ExplorerMenuActive();
    ProductName = name;
    EXPECT_FALSE(Checked() || active);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_NE(boxes.seen[0].text.find("HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\VVV"), std::string::npos) << boxes.seen[0].text;
}
