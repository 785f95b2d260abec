// Texts in every script through the controls, read back past the program with the system's wide
// messages: what the user sees must be exactly what the program was given, and reading it back
// must give the same bytes again.
#include "controls/gadget.h"
#include "controls/label.h"
#include "controls/list_gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "framework/window.h"
#include "settings/wide_text.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char Name[] = "Отчёт łódź 日本";
const wchar_t WideName[] = L"Отчёт łódź 日本";
constexpr Number TextWindow = 61;

void Pump(int milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds))
        WaitEventTimeout(10);
}

class WideTextsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWindows();
        InitGadgets();
        InitStatusBars();
        InitMenus();
        ASSERT_NE(OpenTopWindow(TextWindow, 0, 0, 480, 300, Name, 0xCD0001, nullptr), 0);
        window = WindowHandle(TextWindow);
        Pump(50);
    }
    void TearDown() override {
        CloseTopWindow(TextWindow);
        Pump(30);
    }
    HWND window = nullptr;
};

std::wstring WindowTitle(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(WideTextsTest, WindowTitleAndLabel) {
    EXPECT_TRUE(IsWindowUnicode(window));
    EXPECT_EQ(WindowTitle(window), WideName);
    // The system's own frame reads the title as its W form, however it is asked.
    wchar_t viaMessage[256] = {};
    SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(viaMessage));
    EXPECT_STREQ(viaMessage, WideName);

    auto label = reinterpret_cast<HWND>(CreateLabelGadget(5, 10, 10, 300, 20, Name, 0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(WindowTitle(label), WideName);
}

TEST_F(WideTextsTest, ListRowsCellsAndColumnTitlesRoundTrip) {
    ASSERT_NE(CreateListGadget(6, 0, 0, 460, 200, Name, 200, ListFlagFullRowSelect), 0);
    HWND list = GadgetHandle(6);
    std::string row = std::string(Name) + ".txt";
    std::string cell = std::string("Größe ") + Name;
    InsertGadgetColumn(6, 1, "Zweite", 100);
    InsertGadgetItem(6, -1, (row + "\n" + cell).c_str(), nullptr, 0);

    wchar_t text[128] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, (std::wstring(WideName) + L".txt").c_str());
    item.iSubItem = 1;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, (L"Größe " + std::wstring(WideName)).c_str());

    EXPECT_EQ(std::string(ReadGadgetItemText(6, 0, 0)), row);
    EXPECT_EQ(std::string(ReadGadgetItemText(6, 0, 1)), cell);
    EXPECT_EQ(std::string(ReadGadgetItemText(6, -1, 0)), Name);

    // The longest text is counted in bytes; a row of four-byte characters must not be cut.
    std::string pages;
    for (int i = 0; i < 100; ++i)
        pages += "\xF0\x9F\x93\x84";
    WriteGadgetItemText(6, 0, pages.c_str(), 0);
    EXPECT_EQ(std::string(ReadGadgetItemText(6, 0, 0)), pages);
    // A path longer than the classic limit stays whole.
    std::string longPath = "C:\\" + std::string(300, 'x') + "\\" + Name;
    InsertGadgetItem(6, -1, longPath.c_str(), nullptr, 0);
    EXPECT_EQ(std::string(ReadGadgetItemText(6, 1, 0)), longPath);

    WriteGadgetItemText(6, -1, "Spalte ł", 1);
    EXPECT_EQ(std::string(ReadGadgetItemText(6, -1, 1)), "Spalte ł");
}

TEST_F(WideTextsTest, StatusText) {
    auto bar = reinterpret_cast<HWND>(OpenStatusBar(7, window));
    ASSERT_NE(bar, nullptr);
    AddStatusField(200);
    AddStatusField(KeepCurrent);
    SetStatusFieldText(7, 0, Name);
    SetStatusFieldText(7, 1, Name, StatusTextCentred);
    wchar_t text[128] = {};
    SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, WideName);
    // A centred text keeps its characters around the alignment marks.
    SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_NE(std::wstring(text).find(WideName), std::wstring::npos);
}

TEST_F(WideTextsTest, MenuEntriesPlainAndDrawn) {
    ASSERT_NE(CreateMenuBar(9, window), 0);
    AddMenuTitle(Name);
    AddMenuEntry(31, (std::string("&") + Name).c_str(), nullptr);
    HMENU bar = GetMenu(window);
    wchar_t text[64] = {};
    GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, WideName);
    GetMenuStringW(GetSubMenu(bar, 0), 31, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, (L"&" + std::wstring(WideName)).c_str());

    // Drawn entries keep the program's text and answer their mnemonic, a Cyrillic letter here,
    // typed in either case.
    ASSERT_NE(CreateImageMenuBar(10, window, MenuStyleShaded), 0);
    AddMenuTitle("Datei");
    AddMenuEntry(32, "Erste", nullptr);
    AddMenuEntry(33, (std::string("&") + Name).c_str(), nullptr);
    HMENU popup = GetSubMenu(GetMenu(window), 0);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    GetMenuItemInfoW(popup, 1, TRUE, &info);
    ASSERT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_STREQ(reinterpret_cast<const MenuEntryRecord*>(info.dwItemData)->text, (std::string("&") + Name).c_str());
    for (wchar_t typed : {L'О', L'о'}) {
        LRESULT found = SendMessageW(window, WM_MENUCHAR, MAKEWPARAM(typed, MF_POPUP), reinterpret_cast<LPARAM>(popup));
        EXPECT_EQ(found, MAKELRESULT(1, MNC_EXECUTE)) << static_cast<int>(typed);
    }
    LRESULT none = SendMessageW(window, WM_MENUCHAR, MAKEWPARAM(L'ł', MF_POPUP), reinterpret_cast<LPARAM>(popup));
    EXPECT_NE(none, MAKELRESULT(1, MNC_EXECUTE));

    // An entry someone else appended in UTF-16 becomes a drawn one with the same text.
    AppendMenuW(popup, MF_STRING, 34, WideName);
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    GetMenuItemInfoW(popup, 2, TRUE, &info);
    ASSERT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_STREQ(reinterpret_cast<const MenuEntryRecord*>(info.dwItemData)->text, Name);
}

} // namespace
