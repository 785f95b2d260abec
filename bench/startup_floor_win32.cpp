// The floor of bench/startup.sh: the barest Win32 program that shows what Verriq shows at start
// and holds what it holds. A main window of the same size with a menu bar, a toolbar with the
// same pictures at the same size, a status bar and a report list with the same two columns that
// asks for the rows it shows (owner data, as Verriq's does), one row per listed file and one
// handle per file, opened as Verriq opens it. Nothing of Verriq's own code is used, so the
// difference to Verriq is what its framework and app cost. Before Verriq's list was drawn from
// its model, the floor inserted every row with redrawing suspended.
//
//     startup_floor_win32.exe <list> [/hintergrund]
//
// With /hintergrund the window is made and filled but never shown, as at log-on. Either way the
// program then waits for messages; the benchmark reads the status bar and ends it.
#include "resources/resource_ids.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

int dpi = 96;
int Scale(int value) { return MulDiv(value, dpi, 96); }

HWND toolbar = nullptr, status = nullptr, list = nullptr;
std::vector<std::wstring> paths; // the rows, which the list asks for as it shows them

std::string ReadBytes(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::wstring Wide(const char* text, int length) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, length, wide.data(), size);
    return wide;
}

// The picture of an icon file in the resources nearest to side, the deepest of equals. The
// system's LookupIconIdFromDirectoryEx reads a resource's directory, not a file's.
HICON ToolbarIcon(int resource, int side) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    auto* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))) : nullptr;
    DWORD length = found ? SizeofResource(nullptr, found) : 0;
    if (!data || length < 6) return nullptr;
    unsigned count = *reinterpret_cast<const WORD*>(data + 4);
    if (length < 6 + 16 * count) return nullptr;
    const BYTE* best = nullptr;
    int bestDistance = 0, bestBits = 0;
    for (unsigned i = 0; i < count; ++i) {
        const BYTE* entry = data + 6 + 16 * i;
        int width = entry[0] ? entry[0] : 256, bits = *reinterpret_cast<const WORD*>(entry + 6);
        int distance = width >= side ? 2 * (width - side) : 2 * (side - width) + 1;
        if (!best || distance < bestDistance || (distance == bestDistance && bits > bestBits)) {
            best = entry;
            bestDistance = distance;
            bestBits = bits;
        }
    }
    if (!best) return nullptr;
    DWORD size = *reinterpret_cast<const DWORD*>(best + 8), offset = *reinterpret_cast<const DWORD*>(best + 12);
    if (offset > length || size > length - offset) return nullptr;
    int width = best[0] ? best[0] : 256;
    return CreateIconFromResourceEx(const_cast<BYTE*>(data + offset), size, TRUE, 0x30000, width, width,
                                    LR_DEFAULTCOLOR);
}

void MakeMenu(HWND window) {
    HMENU bar = CreateMenu();
    HMENU program = CreatePopupMenu();
    AppendMenuW(program, MF_STRING, 1, L"Tastenkombination ändern");
    AppendMenuW(program, MF_STRING, 2, L"Mit Windows starten");
    AppendMenuW(program, MF_STRING, 3, L"Im Explorer-Menü anbieten");
    AppendMenuW(program, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(program, MF_STRING, 4, L"Beenden");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, 5, L"Informationen");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(program), L"Programm");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Hilfe");
    SetMenu(window, bar);
}

void MakeToolbar(HWND window) {
    toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                              WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST, 0, 0, 0, 0,
                              window, nullptr, nullptr, nullptr);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    int side = Scale(32);
    HIMAGELIST images = ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 4, 0);
    for (int resource : {IDR_ICON_ADD, IDR_ICON_FOLDER, IDR_ICON_REMOVE, IDR_ICON_QUIT}) {
        HICON icon = ToolbarIcon(resource, side);
        ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    const wchar_t* captions[] = {L"Hinzufügen", L"Ordner", L"Entfernen", L"Beenden"};
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = 10 + i;
        buttons[i].fsState = i == 2 ? 0 : TBSTATE_ENABLED; // nothing selected, nothing to remove
        buttons[i].fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
        buttons[i].iString = reinterpret_cast<INT_PTR>(captions[i]);
    }
    SendMessageW(toolbar, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(buttons));
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
}

void MakeList(HWND window) {
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS |
                               LVS_OWNERDATA,
                           0, 0, 0, 0, window, nullptr, nullptr, nullptr);
    DWORD extended = LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(L"Geschützte Dateien");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.pszText = const_cast<wchar_t*>(L"Zugriff");
    SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
}

void Layout(HWND window) {
    RECT client{}, bar{};
    GetClientRect(window, &client);
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    SendMessageW(status, WM_SIZE, 0, 0);
    GetWindowRect(toolbar, &bar);
    int top = bar.bottom - bar.top;
    GetWindowRect(status, &bar);
    int bottom = client.bottom - (bar.bottom - bar.top);
    MoveWindow(list, 0, top, client.right, bottom > top ? bottom - top : 0, TRUE);
    int level = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"lesen erlaubt")));
    level += Scale(16);
    GetClientRect(list, &client);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, client.right > level ? client.right - level : 0);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < static_cast<int>(paths.size()))
            lstrcpynW(item.pszText, item.iSubItem == 0 ? paths[item.iItem].c_str() : L"gesperrt", item.cchTextMax);
        return 0;
    }
    if (message == WM_SIZE && list) {
        Layout(window);
        return 0;
    }
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    bool hidden = argc > 2 && lstrcmpiW(argv[2], L"/hintergrund") == 0;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    WNDCLASSW windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VERRIQ));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"StartupFloor";
    RegisterClassW(&windowClass);
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
    RECT frame{0, 0, Scale(400), Scale(220)};
    AdjustWindowRectEx(&frame, style, TRUE, 0);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, L"StartupFloor", L"Verriq 1.0.0", style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                  instance, nullptr);
    MakeMenu(window);
    MakeToolbar(window);
    status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", window, 1);
    SendMessageW(status, SB_SETMINHEIGHT, Scale(18), 0);
    MakeList(window);
    Layout(window);

    // The fastest list the platform offers: it asks for the rows it shows (owner data), so the
    // rows cost one message. Each file is held the way Verriq holds it: reading asked for,
    // nothing shared.
    std::string text = ReadBytes(argv[1]);
    int held = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
        std::wstring path = Wide(text.data() + start, static_cast<int>(stop - start));
        start = end + 1;
        if (path.empty()) continue;
        HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        held += lock != INVALID_HANDLE_VALUE; // held until the process ends
        paths.push_back(std::move(path));
    }
    SendMessageW(list, LVM_SETITEMCOUNT, paths.size(), LVSICF_NOSCROLL);
    Layout(window);
    std::wstring count = std::to_wstring(held) + (held == 1 ? L" Datei wird geschützt" : L" Dateien werden geschützt");
    SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(count.c_str()));

    // Verriq puts its picture into the notification area at either start.
    NOTIFYICONDATAW picture = {};
    picture.cbSize = sizeof picture;
    picture.hWnd = window;
    picture.uID = 1;
    picture.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    picture.uCallbackMessage = WM_APP;
    picture.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VERRIQ), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    lstrcpynW(picture.szTip, count.c_str(), ARRAYSIZE(picture.szTip));
    Shell_NotifyIconW(NIM_ADD, &picture);

    if (!hidden) {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    Shell_NotifyIconW(NIM_DELETE, &picture);
    return held;
}
