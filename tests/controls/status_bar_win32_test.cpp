// Status bars in real framework windows: field edges, the size grip, texts and re-layout.
#include "controls/status_bar.h"

#include "controls/gadget.h"
#include "framework/window.h"
#include "settings/wide_text.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr Number TestWindow = 41;
constexpr unsigned ResizableWindow =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WindowCentreOnScreen;
constexpr unsigned FixedWindow = WS_CAPTION | WindowCentreOnScreen;

void DrainEvents() {
    while (WaitEventTimeout(0) != 0) {
    }
}

std::vector<int> Edges(HWND bar) {
    int count = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 0, 0));
    std::vector<int> edges(count > 0 ? count : 0);
    if (count > 0) SendMessageA(bar, SB_GETPARTS, count, reinterpret_cast<LPARAM>(edges.data()));
    return edges;
}

std::string Text(HWND bar, int field) {
    wchar_t buffer[256] = {};
    SendMessageW(bar, SB_GETTEXTW, field, reinterpret_cast<LPARAM>(buffer));
    return FromWide(buffer);
}

int ClientWidth(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client.right;
}

class StatusBarTest : public ::testing::Test {
  protected:
    void SetUp() override { InitStatusBars(); }
    void Open(unsigned flags, int width = 400, int height = 220) {
        window =
            reinterpret_cast<HWND>(OpenTopWindow(TestWindow, 0, 0, width, height, "Status", flags, nullptr));
        ASSERT_NE(window, nullptr);
        bar = reinterpret_cast<HWND>(OpenStatusBar(1, window));
        ASSERT_NE(bar, nullptr);
    }
    void TearDown() override {
        CloseTopWindow(TestWindow);
        DrainEvents();
    }
    HWND window = nullptr;
    HWND bar = nullptr;
};

TEST_F(StatusBarTest, SitsAtTheBottomAndTellsTheWindowToLayOutAgain) {
    Open(ResizableWindow);
    DrainEvents();
    // OpenStatusBar itself sends the owner a WM_SIZE, so the application's layout runs again.
    bar = reinterpret_cast<HWND>(OpenStatusBar(1, window));
    bool resized = false;
    for (int code; (code = WaitEventTimeout(50)) != 0;)
        resized |= code == SizeWindowEvent;
    EXPECT_TRUE(resized);

    EXPECT_EQ(GetDlgCtrlID(bar), static_cast<int>(StatusBarControlId));
    RECT client{}, area{};
    GetClientRect(window, &client);
    GetWindowRect(bar, &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.bottom, client.bottom);
    EXPECT_EQ(area.right - area.left, client.right);
    EXPECT_GE(area.bottom - area.top, 18);
}

TEST_F(StatusBarTest, SharedFieldLeavesRoomForTheSizeGripUnlessMaximized) {
    Open(ResizableWindow);
    AddStatusField(KeepCurrent);
    RECT barClient{};
    GetClientRect(bar, &barClient);
    int width = ClientWidth(window);
    EXPECT_EQ(Edges(bar), std::vector<int>{width - barClient.bottom + 3});

    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    EXPECT_EQ(Edges(bar), std::vector<int>{ClientWidth(window)});

    ShowWindow(window, SW_RESTORE);
    GetClientRect(bar, &barClient);
    EXPECT_EQ(Edges(bar), std::vector<int>{ClientWidth(window) - barClient.bottom + 3});
}

TEST_F(StatusBarTest, FixedFieldsComeFirstAndSharedOnesSplitTheRest) {
    Open(FixedWindow);
    ASSERT_EQ(ClientWidth(window), 400);
    AddStatusField(100);
    AddStatusField(KeepCurrent);
    EXPECT_EQ(Edges(bar), (std::vector<int>{100, 400}));

    AddStatusField(KeepCurrent);
    EXPECT_EQ(Edges(bar), (std::vector<int>{100, 250, 400}));
}

TEST_F(StatusBarTest, FieldsGrowInStepsUpToTheLimit) {
    Open(FixedWindow);
    for (int i = 0; i < MaxStatusFields + 20; ++i)
        AddStatusField(1);
    std::vector<int> edges = Edges(bar);
    ASSERT_EQ(edges.size(), static_cast<size_t>(MaxStatusFields));
    EXPECT_EQ(edges.front(), 1);
    EXPECT_EQ(edges.back(), MaxStatusFields);
    // Field 255 cannot hold a text of its own: the control takes that index for its simple mode.
    SetStatusFieldText(1, MaxStatusFields - 2, "vorletzte");
    EXPECT_EQ(Text(bar, MaxStatusFields - 2), "vorletzte");
}

TEST_F(StatusBarTest, TextFlagsAlignAndFrameTheText) {
    Open(ResizableWindow);
    for (int i = 0; i < 5; ++i)
        AddStatusField(60);

    SetStatusFieldText(1, 0, "0 Dateien werden geschützt");
    EXPECT_EQ(Text(bar, 0), "0 Dateien werden geschützt");
    EXPECT_EQ(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, 0, 0)), 0);

    SetStatusFieldText(1, 1, "Mitte", StatusTextCentred);
    EXPECT_EQ(Text(bar, 1), "\tMitte");

    // Themed bars draw the grip over the last characters of right-aligned text.
    SetStatusFieldText(1, 2, "rechts", StatusTextRight);
    EXPECT_EQ(Text(bar, 2), VisualStylesActive() ? "\t\trechts    " : "\t\trechts");

    SetStatusFieldText(1, 3, "hoch", StatusTextRaised | StatusTextBorderless);
    // Raised wins over borderless.
    EXPECT_EQ(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, 3, 0)), SBT_POPOUT);
    SetStatusFieldText(1, 4, nullptr, StatusTextBorderless);
    EXPECT_EQ(Text(bar, 4), "");
    EXPECT_EQ(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, 4, 0)), SBT_NOBORDERS);

    SetStatusFieldText(99, 0, "niemand");
    EXPECT_EQ(Text(bar, 0), "0 Dateien werden geschützt");
}

TEST_F(StatusBarTest, TheSameSizeAgainDoesNotLayTheBarOut) {
    Open(ResizableWindow);
    AddStatusField(KeepCurrent);
    RECT client{};
    GetClientRect(window, &client);
    // Mark the current layout: only a new layout would replace it.
    int marker = 50;
    SendMessageA(bar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&marker));
    for (int i = 0; i < 3; ++i)
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    EXPECT_EQ(Edges(bar), std::vector<int>{50});
    SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(Edges(bar), std::vector<int>{50});

    SetWindowPos(window, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT barClient{};
    GetClientRect(bar, &barClient);
    EXPECT_EQ(Edges(bar), std::vector<int>{ClientWidth(window) - barClient.bottom + 3});
}

// The owner's subclass remembers what it read from the owner; a bar that takes over must be
// the one laid out from the next resize on.
TEST_F(StatusBarTest, ABarThatTakesOverIsTheOneLaidOut) {
    Open(ResizableWindow);
    AddStatusField(KeepCurrent);
    SetWindowPos(window, nullptr, 0, 0, 450, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(2, window));
    ASSERT_NE(second, nullptr);
    AddStatusField(KeepCurrent);
    SetWindowPos(window, nullptr, 0, 0, 520, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT barClient{};
    GetClientRect(second, &barClient);
    EXPECT_EQ(Edges(second), std::vector<int>{ClientWidth(window) - barClient.bottom + 3});
}

TEST_F(StatusBarTest, NumbersAreFreedWithTheWindowAndOnReuse) {
    Open(FixedWindow);
    AddStatusField(KeepCurrent);
    HWND first = bar;
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(1, window));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));

    Number dynamic = OpenStatusBar(AnyNumber, window);
    ASSERT_NE(dynamic, 0);
    AddStatusField(120);
    SetStatusFieldText(dynamic, 0, "dynamisch");

    CloseTopWindow(TestWindow);
    EXPECT_FALSE(IsWindow(second));
    // Both numbers are free: writing to them does nothing, and number 1 can be opened again.
    SetStatusFieldText(1, 0, "weg");
    SetStatusFieldText(dynamic, 0, "weg");
    EXPECT_EQ(OpenStatusBar(1, nullptr), 0);
}

} // namespace
