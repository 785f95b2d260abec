#include "app/layout.h"

#include "app/application.h"
#include "app/file_list_view.h"
#include "app/protection/protection_model.h"
#include "app/release.h"
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/dpi.h"
#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

// The toolbar pictures are complete icon files kept in the program's resources, each with
// pictures of several sizes; the one nearest to side pixels is taken.
void ImageFromResource(Number number, int resource, int side) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data) ImageFromMemory(number, data, SizeofResource(module, found), side);
}

constexpr int ToolbarImageSize = 32; // at 96 DPI
// Wide enough for any caption; TB_SETBUTTONSIZE only sets the minimum, autosize does the rest.
constexpr int ToolbarButtonWidth = 500;
// Space around a cell's text, at 96 DPI.
// Full-row select, grid lines, show selection, multiple; the rows are the model's entries.
constexpr unsigned FileListFlags = 0x4001000C | ListFlagOwnerData;

// The side the toolbar's pictures came out at: the picture nearest to the scaled size, which
// the image list then takes as it is instead of stretching it.
int ToolbarPictureSide() {
    const ImageObject* picture = FindImage(ImageAdd);
    return picture ? picture->width : DpiScale(WindowHandle(WindowMain), ToolbarImageSize);
}

} // namespace

void LoadToolbarImages() {
    int side = DpiScale(WindowHandle(WindowMain), ToolbarImageSize);
    ImageFromResource(ImageAdd, IDR_ICON_ADD, side);
    ImageFromResource(ImageFolder, IDR_ICON_FOLDER, side);
    ImageFromResource(ImageRemove, IDR_ICON_REMOVE, side);
    ImageFromResource(ImageQuit, IDR_ICON_QUIT, side);
}

void CreateMainMenu() {
    if (!CreateImageMenuBar(MenuMain, WindowHandle(WindowMain), MenuStyleShaded)) return;
    HMENU program = AddMenuTitle("Programm");
    AddMenuEntry(ItemChangeHotKey, "Tastenkombination ändern", nullptr);
    AddMenuEntry(ItemStartWithWindows, "Mit Windows starten", nullptr);
    AddMenuEntry(ItemOfferInExplorer, "Im Explorer-Menü anbieten", nullptr);
    AddReleasePeriodMenu();
    // A plain separator: the image menu takes it over and draws it when the menu first opens.
    if (program) AppendMenuW(program, MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(ItemQuitMenu, "Beenden", nullptr);
    AddMenuTitle("Hilfe");
    AddMenuEntry(ItemAbout, "Informationen", nullptr);
}

void SetToolbarButtonText(HWND toolbar, int button, const char* text) {
    std::wstring wide = ToWide(text);
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_STYLE;
    info.fsStyle = BTNS_AUTOSIZE;
    info.pszText = wide.data();
    SendMessageW(toolbar, TB_SETBUTTONINFOW, button, reinterpret_cast<LPARAM>(&info));
}

void CreateMainToolbar() {
    if (!OpenToolbar(ToolbarMain, WindowHandle(WindowMain))) return;
    HWND toolbar = ToolbarHandle(ToolbarMain);
    // Setting the size empties the list, so it happens before any button is added.
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    int side = ToolbarPictureSide();
    ImageList_SetIconSize(images, side, side);
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(ToolbarButtonWidth, 0));
    // Captions beside the pictures, not below them.
    SetWindowLongA(toolbar, GWL_STYLE, GetWindowLongA(toolbar, GWL_STYLE) | TBSTYLE_LIST);

    AddToolbarButton(ItemAddFiles, ImageHandle(ImageAdd));
    AddToolbarButton(ItemAddFolder, ImageHandle(ImageFolder));
    AddToolbarButton(ItemRemoveFiles, ImageHandle(ImageRemove));
    AddToolbarButton(ItemQuitButton, ImageHandle(ImageQuit));
    SetToolbarButtonText(toolbar, ItemAddFiles, "Hinzufügen");
    SetToolbarButtonText(toolbar, ItemAddFolder, "Ordner");
    SetToolbarButtonText(toolbar, ItemRemoveFiles, "Entfernen");
    SetToolbarButtonText(toolbar, ItemQuitButton, "Beenden");
    // Nothing is selected yet, so there is nothing to remove.
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, 1);
}

void CreateMainStatusBar() {
    if (!OpenStatusBar(StatusBarMain, WindowHandle(WindowMain))) return;
    AddStatusField(KeepCurrent);
    SetStatusFieldText(StatusBarMain, 0, "0 Dateien werden geschützt");
}

RECT FileListPlace() {
    HWND main = WindowHandle(WindowMain);
    int top = DpiScale(main, FileListTop);
    int bottom = top + WindowInnerHeight(WindowMain) - DpiScale(main, FileListHeightReserve);
    // The bars size themselves to their pictures and fonts, which do not always scale as
    // evenly as the reserves: the list never slides under either of them.
    RECT bar{};
    if (HWND toolbar = ToolbarHandle(ToolbarMain); toolbar && GetWindowRect(toolbar, &bar)) {
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&bar), 2);
        if (bar.bottom > top) {
            bottom += bar.bottom - top;
            top = bar.bottom;
        }
    }
    HWND status = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
    if (status && IsWindowVisible(status) && GetWindowRect(status, &bar)) {
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&bar), 2);
        if (bottom > bar.top) bottom = bar.top;
    }
    if (bottom < top) bottom = top;
    return RECT{0, top, WindowInnerWidth(WindowMain), bottom};
}

void CreateFileList() {
    RECT place = FileListPlace();
    CreateListGadget(GadgetFileList, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, "Geschützte Dateien", 0, FileListFlags);
    InsertGadgetColumn(GadgetFileList, 1, "Zugriff", 0);
    ConnectFileListRows();
    ShowRows();
    FitFileListColumns();
    // The columns always fill the list: their titles are neither buttons nor handles.
    HWND list = GadgetHandle(GadgetFileList);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (header) EnableWindow(header, FALSE);
}

void FitFileListToWindow() {
    RECT place = FileListPlace();
    MoveGadget(GadgetFileList, place.left, place.top, place.right - place.left, place.bottom - place.top);
    FitFileListColumns();
}

// The minimum (400 x 200 at 96 DPI) at the window's scale, and never so narrow that the
// toolbar loses a button; a window that is narrower already grows.
void LimitMainWindowSize() {
    HWND main = WindowHandle(WindowMain);
    int minimumWidth = DpiScale(main, 400);
    int buttons = ToolbarButtonsRight(ToolbarMain);
    if (buttons > minimumWidth) minimumWidth = buttons;
    SetWindowSizeLimits(WindowMain, minimumWidth, DpiScale(main, 200), KeepCurrent, KeepCurrent);
    int missing = minimumWidth - WindowInnerWidth(WindowMain);
    RECT outer{};
    if (missing > 0 && !IsZoomed(main) && GetWindowRect(main, &outer))
        SetWindowPos(main, nullptr, 0, 0, outer.right - outer.left + missing, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// On a screen of another scale: pictures and toolbar of the new size, limits, and the list.
void FollowNewScale() {
    LoadToolbarImages();
    FreeToolbar(ToolbarMain);
    CreateMainToolbar();
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, ReadGadgetState(GadgetFileList) == -1 ? 1 : 0);
    LimitMainWindowSize();
    FitFileListToWindow();
}
