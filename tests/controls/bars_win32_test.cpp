// The bars that follow their owner window: toolbars in a window built like the main window,
// and status bars.
#include "controls/toolbar.h"

#include "controls/menu.h"
#include "controls/status_bar.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <algorithm>
#include <string>

using namespace controls_test;

namespace {

POINT ButtonCentre(HWND toolbar, int identifier) {
    RECT rect{};
    SendMessageA(toolbar, TB_GETRECT, identifier, reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Posted, as real input is, so that the toolbar's command comes out of the event loop.
void ClickButton(HWND toolbar, int identifier, bool right = false) {
    POINT at = ButtonCentre(toolbar, identifier);
    LPARAM position = MAKELPARAM(at.x, at.y);
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, position);
    PostMessageA(toolbar, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, position);
    PostMessageA(toolbar, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, position);
}

class ToolbarTest : public WindowFixture {
  protected:
    void SetUp() override {
        InitMenus();
        InitToolbars();
        InitStatusBars();
        Open(MainWindowFlags, 400, 220, "Verriq 1.0.0");
        ASSERT_NE(CreateImageMenuBar(6, window, MenuStyleShaded), 0);
        AddMenuTitle("Programm");
        AddMenuEntry(6, "Tastenkombination ändern", nullptr);
        AddMenuEntry(4, "Beenden", nullptr);
        AddMenuTitle("Hilfe");
        AddMenuEntry(5, "Informationen", nullptr);
        Number opened = OpenToolbar(0, window);
        toolbar = ToolbarHandle(0);
        ASSERT_EQ(opened, reinterpret_cast<Number>(toolbar));
        for (int button = 1; button <= 3; ++button)
            ASSERT_TRUE(AddToolbarButton(button, IconFromResource(button, IDR_ICON_ADD + button - 1)));
        ASSERT_NE(OpenStatusBar(1, window), 0);
        AddStatusField(KeepCurrent);
        SetStatusFieldText(1, 0, "0 Dateien werden geschützt");
        DrainEvents();
    }
    bool ClickGivesMenuEvent(int button, int milliseconds = 2000) {
        ClickButton(toolbar, button);
        return WaitForEvent(MenuEvent, milliseconds) && EventMenuNumber() == button;
    }
    HWND toolbar = nullptr;
};

TEST_F(ToolbarTest, AClickIsTheButtonsMenuEventAndNoneWhenDisabled) {
    EXPECT_TRUE(ClickGivesMenuEvent(2));
    EXPECT_EQ(EventWindow(), TestWindow);
    EXPECT_EQ(SetToolbarButtonDisabled(0, 2, 1), 1);
    EXPECT_FALSE(ClickGivesMenuEvent(2, 300));
    SetToolbarButtonDisabled(0, 2, 0);
    EXPECT_TRUE(ClickGivesMenuEvent(2));
    // A number without a toolbar changes nothing and still answers 1.
    EXPECT_EQ(SetToolbarButtonDisabled(33, 2, 1), 1);
}

TEST_F(ToolbarTest, RightClickLeavesNoButtonPressed) {
    ASSERT_TRUE(AddToolbarButton(9, IconFromResource(9, IDR_ICON_ADD), 1));
    // The left button holds the toggle button down; then the right one is clicked on it.
    POINT at = ButtonCentre(toolbar, 9);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(toolbar, TB_SETSTATE, 9, MAKELPARAM(TBSTATE_ENABLED | TBSTATE_PRESSED, 0));
    ASSERT_TRUE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, 9, 0));
    ClickButton(toolbar, 9, true);
    DrainEvents();
    for (int button : {1, 2, 3, 9})
        EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, button, 0)) << button;
    EXPECT_NE(GetCapture(), toolbar);
}

TEST_F(ToolbarTest, NumbersAreFreedWithTheWindowAndOnReuse) {
    HWND second = reinterpret_cast<HWND>(OpenToolbar(0, window));
    EXPECT_FALSE(IsWindow(toolbar));
    Number dynamic = OpenToolbar(AnyNumber, window);
    HWND dynamicWindow = ToolbarHandle(dynamic);
    FreeToolbar(dynamic);
    EXPECT_FALSE(IsWindow(dynamicWindow));
    // A resize must not touch the freed toolbar.
    SetWindowPos(window, nullptr, 0, 0, 500, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(50);
    CloseTopWindow(TestWindow);
    EXPECT_EQ(ToolbarHandle(0), nullptr);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(OpenToolbar(1, nullptr), 0);
}

constexpr unsigned FixedWindow = WS_CAPTION | WindowCentreOnScreen;
using Edges = std::vector<int>;

Edges EdgesOf(HWND bar) {
    int count = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 0, 0));
    Edges edges(count > 0 ? count : 0);
    if (count > 0) SendMessageA(bar, SB_GETPARTS, count, reinterpret_cast<LPARAM>(edges.data()));
    return edges;
}

std::string Text(HWND bar, int field) {
    wchar_t buffer[256] = {};
    SendMessageW(bar, SB_GETTEXTW, field, reinterpret_cast<LPARAM>(buffer));
    return FromWide(buffer);
}

class StatusBarTest : public WindowFixture {
  protected:
    void OpenWithBar(unsigned flags) {
        InitStatusBars();
        Open(flags, 400, 220, "Status");
        bar = reinterpret_cast<HWND>(OpenStatusBar(1, window));
        ASSERT_NE(bar, nullptr);
    }
    // The one shared field's edge: short of the size grip in a sizeable window.
    int SharedEdge(HWND of) { return ClientOf(window).right - ClientOf(of).bottom + 3; }
    void Resize(int width, int height) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND bar = nullptr;
};

TEST_F(StatusBarTest, FixedFieldsComeFirstAndSharedOnesSplitTheRest) {
    OpenWithBar(FixedWindow);
    ASSERT_EQ(ClientOf(window).right, 400);
    AddStatusField(100);
    AddStatusField(KeepCurrent);
    AddStatusField(KeepCurrent);
    EXPECT_EQ(EdgesOf(bar), (Edges{100, 250, 400}));
    for (int i = 0; i < MaxStatusFields + 20; ++i)
        AddStatusField(1);
    EXPECT_EQ(EdgesOf(bar).size(), static_cast<size_t>(MaxStatusFields));
    // The last field cannot hold a text of its own: the control takes its index for its simple mode.
    SetStatusFieldText(1, MaxStatusFields - 2, "vorletzte");
    EXPECT_EQ(Text(bar, MaxStatusFields - 2), "vorletzte");

    // A number is freed on reuse and with its window: writing to it then does nothing.
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(1, window));
    EXPECT_FALSE(IsWindow(bar));
    Number dynamic = OpenStatusBar(AnyNumber, window);
    ASSERT_NE(dynamic, 0);
    AddStatusField(120);
    CloseTopWindow(TestWindow);
    EXPECT_FALSE(IsWindow(second));
    SetStatusFieldText(1, 0, "weg");
    SetStatusFieldText(dynamic, 0, "weg");
    EXPECT_EQ(OpenStatusBar(1, nullptr), 0);
}

TEST_F(StatusBarTest, TextsInAnyScriptWithTheirAlignmentAndFrame) {
    OpenWithBar(ResizableWindow);
    for (int i = 0; i < 5; ++i)
        AddStatusField(60);
    // Themed bars draw the grip over the last characters of right-aligned text.
    std::string right = VisualStylesActive() ? "\t\trechts    " : "\t\trechts";
    struct Case {
        const char* text;
        int flags;
        std::string shown;
        int frame;
    } cases[] = {
        {"Отчёт łódź 日本 geschützt", 0, "Отчёт łódź 日本 geschützt", 0},
        {"Mitte", StatusTextCentred, "\tMitte", 0},
        {"rechts", StatusTextRight, right, 0},
        {"hoch", StatusTextRaised | StatusTextBorderless, "hoch", SBT_POPOUT}, // raised wins
        {nullptr, StatusTextBorderless, "", SBT_NOBORDERS},
    };
    for (int field = 0; field < 5; ++field) {
        const Case& c = cases[field];
        SetStatusFieldText(1, field, c.text, c.flags);
        EXPECT_EQ(Text(bar, field), c.shown) << field;
        EXPECT_EQ(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, field, 0)), c.frame) << field;
    }
    SetStatusFieldText(99, 0, "niemand");
    EXPECT_EQ(Text(bar, 0), cases[0].shown);
}

TEST_F(StatusBarTest, SitsAtTheBottomAndTheGripAndOnlyANewSizeChangeTheLayout) {
    OpenWithBar(ResizableWindow);
    DrainEvents();
    bar = reinterpret_cast<HWND>(OpenStatusBar(1, window)); // tells the window to lay out again
    std::vector<int> codes = Pump(200);
    EXPECT_NE(std::find(codes.begin(), codes.end(), SizeWindowEvent), codes.end());
    AddStatusField(KeepCurrent);
    EXPECT_EQ(EdgesOf(bar), Edges{SharedEdge(bar)});
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    EXPECT_EQ(EdgesOf(bar), Edges{ClientOf(window).right}); // no grip when maximised
    ShowWindow(window, SW_RESTORE);

    // Mark the current layout: only a new layout would replace it.
    RECT client = ClientOf(window);
    int marker = 50;
    SendMessageA(bar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&marker));
    for (int i = 0; i < 3; ++i)
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(EdgesOf(bar), Edges{50});
    Resize(500, 300);
    EXPECT_EQ(EdgesOf(bar), Edges{SharedEdge(bar)});

    // A bar that takes over is the one laid out from the next resize on.
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(2, window));
    ASSERT_NE(second, nullptr);
    AddStatusField(KeepCurrent);
    Resize(520, 300);
    EXPECT_EQ(EdgesOf(second), Edges{SharedEdge(second)});
}

} // namespace
