#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

std::string ToWindowsPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// No program name apart from the command line: it is parsed as Windows parses a Run value.
bool Launch(const std::string& commandLine, DWORD flags, void* environment, const std::string& folder,
            PROCESS_INFORMATION& info) {
    std::wstring line = ToWide(commandLine), current = ToWide(folder);
    STARTUPINFOW startup = {sizeof startup};
    // Wine now and then refuses a start while many processes start at once on a busy machine;
    // a program a user starts twice is started, so the driver tries again before it fails.
    for (int attempt = 0;; ++attempt) {
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, flags, environment,
                           current.empty() ? nullptr : current.c_str(), &startup, &info))
            return true;
        DWORD error = GetLastError();
        if (attempt == 2) {
            std::fprintf(stderr, "could not start %s: error %lu\n", commandLine.c_str(), error);
            return false;
        }
        Sleep(200);
    }
}

// Sends a message whose parameter points to size bytes in the target process: data goes there
// first (prepared by fill, given their address there, when one is given) and comes back after.
LRESULT SendRemote(HANDLE process, HWND window, UINT message, WPARAM wParam, void* data, size_t size,
                   const std::function<void(char* remote)>& fill = {}) {
    auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return 0;
    if (fill) fill(remote);
    SIZE_T done = 0;
    WriteProcessMemory(process, remote, data, size, &done);
    LRESULT result = SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, data, size, &done);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return result;
}

// Top-level windows of a process (of any, for pid 0).
struct FindContext {
    DWORD pid;
    const std::string* title; // any, for null
    const char* className;    // any, for null
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if ((!context->pid || pid == context->pid) && (!context->visibleOnly || IsWindowVisible(window)) &&
        (!context->title || WindowText(window) == *context->title) &&
        (!context->className || ClassOf(window) == context->className))
        context->found.push_back(window);
    return TRUE;
}

RECT Mapped(RECT rect, HWND from, HWND to) {
    MapWindowPoints(from, to, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    auto collect = [](HWND window, LPARAM param) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
    };
    if (parent) EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&children));
    return children;
}

// Every button event carries the position too, so that it cannot land anywhere else.
void MouseButton(int x, int y, DWORD flag) {
    INPUT input = {INPUT_MOUSE};
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = static_cast<LONG>((x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((y * 65535LL + height / 2) / (height - 1));
    input.mi.dwFlags = flag | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void SendKey(const Key& key, bool up) {
    INPUT input = {INPUT_KEYBOARD};
    input.ki.wVk = key.vk;
    WORD scan = static_cast<WORD>(MapVirtualKeyA(key.vk, MAPVK_VK_TO_VSC));
    if (key.vk == VK_RSHIFT) scan = 0x36;
    if (key.vk == VK_LSHIFT) scan = 0x2A;
    if (key.vk == VK_LCONTROL || key.vk == VK_RCONTROL) scan = 0x1D;
    input.ki.wScan = scan;
    input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    SendInput(1, &input, sizeof input);
}

// Down in order, up in reverse order.
void SendKeys(std::vector<Key> keys, bool up) {
    if (up) std::reverse(keys.begin(), keys.end());
    for (const Key& key : keys) {
        SendKey(key, up);
        Sleep(20);
    }
}

// An LVITEM as the list's own process lays it out: a 32-bit Verriq.exe (the release) has 4-byte
// pointers, which moves the text pointer and its length.
template <class Pointer> struct TextRequest {
    UINT mask;
    int iItem, iSubItem;
    UINT state, stateMask;
    Pointer pszText;
    int cchTextMax;
};

// Asks for the text of a column into textAddress, in the list's own process.
void WriteTextRequest(char* request, HANDLE process, char* textAddress, int capacity, int column) {
    BOOL wow64 = FALSE;
    if (IsWow64Process(process, &wow64) && wow64) {
        TextRequest<DWORD> item{0, 0, column, 0, 0, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(textAddress)),
                                capacity};
        std::memcpy(request, &item, sizeof item);
    } else {
        TextRequest<void*> item{0, 0, column, 0, 0, textAddress, capacity};
        std::memcpy(request, &item, sizeof item);
    }
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ToWidePath(path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = FromWide(data.cFileName);
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesW(ToWidePath(full).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(ToWidePath(full).c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(ToWidePath(path, ClassicFolderLimit).c_str());
}

// The screen inside area, 4 bytes (B, G, R, 0) a pixel; rows from the bottom up when asked for.
std::string Capture(const RECT& area, bool bottomUp) {
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return "";
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, bottomUp ? height : -height, 1, 32};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::string pixels(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

} // namespace

// The system takes a moment to see the pointer where it was put; a button pressed before that
// lands where the pointer was before (measured under Wine), so wait until it is there.
void HoverAt(int x, int y) {
    MouseButton(x, y, 0);
    WaitFor([&] {
        POINT at = {};
        GetCursorPos(&at);
        return at.x == x && at.y == y;
    }, 1000, 10);
}

// VERRIQ_EXE (a Unix or a Windows path) points the driver at another build's Verriq.exe, such as
// the 32-bit release. That build's folder then holds the sandboxes and screenshots, so that two
// drivers running at the same time never share one.
std::string VerriqExe() {
    char given[2 * MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("VERRIQ_EXE", given, sizeof given);
    if (length == 0 || length >= sizeof given) return ToWindowsPath(VERRIQ_BUILD_DIR) + "\\Verriq.exe";
    return given[0] == '/' ? ToWindowsPath(given) : std::string(given);
}

std::string BuildFolder() { return VerriqExe().substr(0, VerriqExe().find_last_of('\\')); }

bool MakeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') CreateDirectoryW(ToWidePath(path.substr(0, i)).c_str(), nullptr);
    }
    return FolderExists(path);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path, bool* ok) {
    if (ok) *ok = false;
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    if (ok) *ok = true;
    return bytes;
}

bool Exists(const std::string& path, bool folder) {
    DWORD attributes = GetFileAttributesW(ToWidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

Sandbox::Sandbox(const std::string& name) {
    root = BuildFolder() + "\\e2e\\" + name;
    RemoveTree(root);
    // A folder still held by a process of an earlier, crashed run: use a new one.
    for (int attempt = 2; FolderExists(root); ++attempt) root = BuildFolder() + "\\e2e\\" + name + "-" + std::to_string(attempt);
    appdata = root + "\\appdata";
    files = root + "\\files";
    MakeFolders(appdata);
    MakeFolders(files);
}

std::string Sandbox::MakeFile(const std::string& name, const std::string& text) {
    WriteBytes(files + "\\" + name, text);
    return files + "\\" + name;
}

bool Verriq::Start(const std::string& appdata, const std::string& commandLine, const std::string& folder) {
    // Inherited from the driver's own environment, in UTF-16, so that a path in any script arrives
    // as it is.
    SetEnvironmentVariableW(L"APPDATA", ToWide(appdata).c_str());
    PROCESS_INFORMATION info = {};
    if (!Launch(commandLine.empty() ? "\"" + VerriqExe() + "\"" : commandLine, 0, nullptr, folder, info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

HWND Verriq::WaitMainWindow(int timeoutMs, bool visible) {
    WaitFor([&] { return (main_ = FindWindowByTitle("Verriq 1.0.0")) != nullptr && (!visible || IsWindowVisible(main_)); },
            timeoutMs, 50);
    if (main_) WaitForInputIdle(process_, 5000);
    return main_;
}

long Verriq::WaitExit(int timeoutMs) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

void Verriq::Kill() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

HWND Verriq::FindWindowByTitle(const std::string& title, const char* className) const {
    FindContext context{pid_, &title, className, false, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&context));
    // Prefer a visible window when both a hidden and a visible one carry the title.
    for (HWND window : context.found)
        if (IsWindowVisible(window)) return window;
    return context.found.empty() ? nullptr : context.found.front();
}

HWND Verriq::WaitWindow(const std::string& title, const char* className, int timeoutMs) const {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowByTitle(title, className)) != nullptr && IsWindowVisible(window); },
            timeoutMs, 50);
    return window && IsWindowVisible(window) ? window : nullptr;
}

std::vector<HWND> Verriq::TopWindows() const {
    FindContext context{pid_, nullptr, nullptr, true, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

HWND Verriq::WaitTopWindowOfClass(const char* className, int timeoutMs) const {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND window : TopWindows())
            if (ClassOf(window) == className) return (found = window) != nullptr;
        return false;
    }, timeoutMs);
    return found;
}

// Read through the W messages: the A ones would pass the text through the code page and turn
// every character outside it into "?".
std::string Verriq::CellText(int row, int column) const {
    constexpr int textSize = 33000;
    std::vector<char> bytes(sizeof(LVITEMW) + (textSize + 1) * sizeof(wchar_t));
    LRESULT length = SendRemote(process_, list(), LVM_GETITEMTEXTW, row, bytes.data(), bytes.size(), [&](char* remote) {
        WriteTextRequest(bytes.data(), process_, remote + sizeof(LVITEMW), textSize, column);
    });
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + sizeof(LVITEMW)));
    text.resize(std::min<size_t>(static_cast<size_t>(std::max<LRESULT>(length, 0)), text.size()));
    return FromWide(text);
}

std::vector<std::string> Verriq::Rows() const {
    std::vector<std::string> rows;
    for (int i = 0, n = RowCount(); i < n; ++i) rows.push_back(CellText(i));
    return rows;
}

std::vector<int> Verriq::SelectedRows() const {
    std::vector<int> rows;
    HWND view = list();
    for (int i = static_cast<int>(SendMessageA(view, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); i >= 0;
         i = static_cast<int>(SendMessageA(view, LVM_GETNEXTITEM, i, LVNI_SELECTED)))
        rows.push_back(i);
    return rows;
}

RECT Verriq::RowRect(int row) const {
    RECT rect = {LVIR_BOUNDS, 0, 0, 0};
    SendRemote(process_, list(), LVM_GETITEMRECT, row, &rect, sizeof rect);
    return Mapped(rect, list(), nullptr);
}

std::string Verriq::StatusText() const {
    HWND bar = statusBar();
    if (!bar) return "";
    std::wstring text(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0)) + 1, L'\0');
    SendRemote(process_, bar, SB_GETTEXTW, 0, &text[0], text.size() * sizeof(wchar_t));
    return FromWide(text.c_str());
}

std::string Verriq::ButtonText(int id) const {
    std::wstring text(512, L'\0');
    LRESULT length = SendRemote(process_, toolbar(), TB_GETBUTTONTEXTW, id, &text[0], text.size() * sizeof(wchar_t));
    return length > 0 && length < 512 ? FromWide(text.c_str()) : "";
}

RECT Verriq::ButtonRect(int id) const {
    RECT rect = {};
    SendRemote(process_, toolbar(), TB_GETRECT, id, &rect, sizeof rect);
    return Mapped(rect, toolbar(), nullptr);
}

void Verriq::ClickButton(int id, bool activate) {
    if (activate) BringToFront(main_);
    RECT rect = ButtonRect(id);
    MouseClick((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

void Verriq::ClickRow(int row, bool right) {
    BringToFront(main_);
    RECT rect = RowRect(row);
    MouseClick(rect.left + 40, (rect.top + rect.bottom) / 2, right);
}

void Verriq::AddRowToSelection(int row) {
    // The state comes before the first pointer: the layout is the same for a 32-bit list.
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED;
    SendRemote(process_, list(), LVM_SETITEMSTATE, row, &item, sizeof item);
}

HWND FindChildByClass(HWND parent, const char* className, int id) {
    for (HWND child : Children(parent))
        if (_stricmp(ClassOf(child).c_str(), className) == 0 && (id == -1 || GetDlgCtrlID(child) == id)) return child;
    return nullptr;
}

std::string WindowText(HWND window) {
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return FromWide(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return FromWide(name);
}

int MainWindows(bool visibleOnly) {
    const std::string title = "Verriq 1.0.0";
    FindContext context{0, &title, nullptr, visibleOnly, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&context));
    return static_cast<int>(context.found.size());
}

RECT ClientOnScreen(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return Mapped(rect, window, nullptr);
}

int MenuBarHeight(HWND window) {
    WINDOWINFO info = {};
    info.cbSize = sizeof info;
    GetWindowInfo(window, &info);
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, info.dwStyle, FALSE, info.dwExStyle);
    return (info.rcClient.top - info.rcWindow.top) + frame.top;
}

RECT ChildRect(HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    return Mapped(rect, nullptr, GetParent(child));
}

void MouseClick(int x, int y, bool right) {
    HoverAt(x, y);
    Sleep(30);
    MouseButton(x, y, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Sleep(30);
    MouseButton(x, y, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void MouseDrag(int fromX, int fromY, int toX, int toY) {
    HoverAt(fromX, fromY);
    Sleep(50);
    MouseButton(fromX, fromY, MOUSEEVENTF_LEFTDOWN);
    Sleep(100);
    for (int i = 1; i <= 10; ++i) {
        HoverAt(fromX + (toX - fromX) * i / 10, fromY + (toY - fromY) * i / 10);
        Sleep(30);
    }
    Sleep(100);
    MouseButton(toX, toY, MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void Chord(const std::vector<Key>& keys, int holdMs) {
    SendKeys(keys, false);
    Sleep(holdMs);
    SendKeys(keys, true);
    Sleep(60);
}

bool HoldKeysWhile(const std::vector<Key>& keys, const std::function<bool()>& test, int timeoutMs) {
    SendKeys(keys, false);
    DWORD start = GetTickCount();
    bool result = false;
    while (!(result = test()) && static_cast<int>(GetTickCount() - start) < timeoutMs) {
        Sleep(50);
        // GetAsyncKeyState hides a key-up for a moment, so a dropped key shows late; that is fine.
        for (const Key& key : keys)
            if (!(GetAsyncKeyState(key.vk) & 0x8000)) SendKey(key, false);
    }
    SendKeys(keys, true);
    return result;
}

bool BringToFront(HWND window) {
    if (GetForegroundWindow() == window) return true;
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; }, 2000);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

HWND FindButton(HWND dialog, const std::string& text) {
    for (HWND child : Children(dialog)) {
        std::string caption = WindowText(child);
        caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
        if (_stricmp(ClassOf(child).c_str(), "Button") == 0 && caption == text) return child;
    }
    return nullptr;
}

bool PressButton(HWND dialog, const std::string& text) {
    HWND button = FindButton(dialog, text);
    if (!button) return false;
    // Posted, so that the dialog's owner may run its own modal work without blocking the driver.
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}

std::string MessageBoxText(HWND box) {
    std::string longest;
    for (HWND child : Children(box))
        if (_stricmp(ClassOf(child).c_str(), "Static") == 0 && WindowText(child).size() > longest.size())
            longest = WindowText(child);
    return longest;
}

int RunCmd(const std::string& commandLine, int timeoutMs) {
    PROCESS_INFORMATION info = {};
    if (!Launch("cmd.exe /c " + commandLine, CREATE_NO_WINDOW, nullptr, {}, info)) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return static_cast<int>(code);
}

std::vector<COLORREF> GrabPixels(const RECT& area) {
    std::string raw = Capture(area, false);
    std::vector<COLORREF> pixels(raw.size() / 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = RGB(raw[i * 4 + 2], raw[i * 4 + 1], raw[i * 4]);
    return pixels;
}

std::string SaveScreenshot(const std::string& name, HWND window) {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // The pointer out of the way, so that no button looks hot in the picture.
    HoverAt(area.right - 1, area.bottom - 1);
    if (window) GetWindowRect(window, &area);
    Sleep(300); // let the target finish painting
    std::string image = Capture(area, true); // bottom-up, as every reader expects
    if (image.empty()) return "";
    std::string folder = BuildFolder() + "\\e2e-shots", path = folder + "\\" + name + ".bmp";
    MakeFolders(folder);
    BITMAPINFOHEADER header = {sizeof header, area.right - area.left, area.bottom - area.top, 1, 32};
    BITMAPFILEHEADER file = {0x4D42};
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + image.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    return WriteBytes(path, bytes + image) ? path : "";
}

} // namespace e2e
