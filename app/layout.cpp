#include "app/layout.h"

#include "app/application.h"
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/window.h"
#include "images/images.h"
#include "resources/resource_ids.h"
#include "settings/wide_text.h"

#include <commctrl.h>

#include <string>

namespace {

// The toolbar pictures are complete icon files kept in the program's resources.
void ImageFromResource(Number number, int resource) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!found) return;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data) ImageFromMemory(number, data, SizeofResource(module, found));
}

constexpr int ToolbarImageSize = 32;
// Wide enough for any caption; TB_SETBUTTONSIZE only sets the minimum, autosize does the rest.
constexpr int ToolbarButtonWidth = 500;
constexpr unsigned FileListFlags = 0x4001000C; // full-row select, grid lines, show selection, multiple

} // namespace

void LoadToolbarImages() {
    ImageFromResource(ImageAdd, IDR_ICON_ADD);
    ImageFromResource(ImageRemove, IDR_ICON_REMOVE);
    ImageFromResource(ImageQuit, IDR_ICON_QUIT);
    ImageFromResource(ImageFolder, IDR_ICON_FOLDER);
}

void CreateMainMenu() {
    if (!CreateImageMenuBar(MenuMain, WindowHandle(WindowMain), MenuStyleShaded)) return;
    AddMenuTitle("Programm");
    AddMenuEntry(ItemChangeHotKey, "Tastenkombination ändern", nullptr);
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
    ImageList_SetIconSize(images, ToolbarImageSize, ToolbarImageSize);
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

void CreateFileList() {
    CreateListGadget(GadgetFileList, 0, FileListTop, WindowInnerWidth(WindowMain),
                     WindowInnerHeight(WindowMain) - FileListHeightReserve, "Geschützte Dateien", 0, FileListFlags);
    HWND list = GadgetHandle(GadgetFileList);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    // The one column always fills the list: its title is neither a button nor a handle.
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (header) EnableWindow(header, FALSE);
}
