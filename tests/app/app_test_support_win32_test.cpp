// Helpers of the application's tests, and the program's own entry points that the library
// parts call (the tests link the library without main.cpp).
#include "tests/app/app_test_support.h"

#include "app/storage.h"
#include "controls/gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/requesters.h"
#include "framework/threads.h"
#include "images/images.h"
#include "settings/files.h"
#include "settings/linked_list.h"
#include "settings/settings_document.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <commctrl.h>

const char* ProductName = "VerriqTest";
const char* ProductVersion = "0.0.0";

// Reaching the end of the program in a test is a failure of its own.
[[noreturn]] void ShutDown() {
    ADD_FAILURE() << "ShutDown was called";
    ExitProcess(3);
}

namespace apptest {

void StartServicesOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    StartFrameworkServices();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ToWidePath(path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = FromWide(data.cFileName);
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(ToWidePath(full).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(ToWidePath(path).c_str());
}

bool IsHeld(const std::string& path) {
    // Sharing rules apply within one process too.
    HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

std::vector<std::string> WhatGotThrough(const std::string& path) {
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Attempt {
        const char* name;
        DWORD access, share, disposition;
    } attempts[] = {
        {"read", GENERIC_READ, shareAll, OPEN_EXISTING},
        {"read, sharing reading only", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING},
        {"write", GENERIC_WRITE, shareAll, OPEN_EXISTING},
        {"append", FILE_APPEND_DATA, shareAll, OPEN_EXISTING},
        {"truncate", GENERIC_WRITE, shareAll, TRUNCATE_EXISTING},
        {"create always", GENERIC_WRITE, shareAll, CREATE_ALWAYS},
        {"open always", GENERIC_WRITE, shareAll, OPEN_ALWAYS},
        {"delete access", DELETE, shareAll, OPEN_EXISTING},
    };
    // The copy and the other file lie outside the file's folder, which may be a protected one.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string outside = std::string(temp) + "verriq-anderer-" + std::to_string(GetCurrentProcessId());
    const std::wstring file = ToWidePath(path), copy = ToWidePath(outside + ".kopie"), other = ToWidePath(outside);
    std::vector<std::string> through;
    for (const Attempt& attempt : attempts) {
        HANDLE handle = CreateFileW(file.c_str(), attempt.access, attempt.share, nullptr, attempt.disposition, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) continue;
        through.push_back(attempt.name);
        CloseHandle(handle);
    }
    if (CopyFileW(file.c_str(), copy.c_str(), FALSE)) through.push_back("copy");
    DeleteFileW(copy.c_str());
    if (DeleteFileW(file.c_str())) through.push_back("delete");
    if (MoveFileW(file.c_str(), ToWidePath(path + ".neu").c_str())) through.push_back("rename");
    // Not ReplaceFileW: Wine's leaves temporary files beside the file when it fails, and in a
    // protected folder those would be held as well.
    WriteBytes(outside, "anders");
    if (MoveFileExW(other.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) through.push_back("move onto");
    if (CopyFileW(other.c_str(), file.c_str(), FALSE)) through.push_back("copy onto");
    DeleteFileW(other.c_str());
    return through;
}

const std::vector<std::string> ReadingOnly = {"read", "read, sharing reading only", "copy"};

void Pump(int milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    } while (static_cast<int>(GetTickCount() - start) < milliseconds);
}

bool PumpUntil(const std::function<bool()>& test, int milliseconds) {
    for (DWORD start = GetTickCount(); static_cast<int>(GetTickCount() - start) < milliseconds; Pump(20))
        if (test()) return true;
    return test();
}

namespace {
AnsweredBoxes* answering = nullptr;
// A box is activated again when another window gave focus back: it is answered once.
HWND lastAnswered = nullptr;
}

AnsweredBoxes::AnsweredBoxes(int given) : answer(given) {
    answering = this;
    hook = SetWindowsHookExW(WH_CBT, Watch, nullptr, GetCurrentThreadId());
}

AnsweredBoxes::~AnsweredBoxes() {
    if (hook) UnhookWindowsHookEx(hook);
    answering = nullptr;
}

LRESULT CALLBACK AnsweredBoxes::Watch(int code, WPARAM wParam, LPARAM lParam) {
    auto box = reinterpret_cast<HWND>(wParam);
    wchar_t kind[16] = L"";
    if (code == HCBT_ACTIVATE && answering && box != lastAnswered && GetClassNameW(box, kind, 16) && lstrcmpW(kind, L"#32770") == 0) {
        wchar_t title[256] = L"";
        GetWindowTextW(box, title, 256);
        // A message box's text is the static with the id 0xFFFF.
        std::wstring text(4096, L'\0');
        text.resize(GetDlgItemTextW(box, 0xFFFF, text.data(), static_cast<int>(text.size())));
        bool asks = GetDlgItem(box, IDYES) != nullptr;
        lastAnswered = box;
        answering->seen.push_back({FromWide(title), FromWide(text), asks});
        // Posted: the box's own loop takes it once it runs.
        PostMessageW(box, WM_COMMAND, asks ? answering->answer : IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MainWindowTest::SetUp() {
    StartServicesOnce();
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    root = std::string(temp) + "verriq-app-" + std::to_string(GetCurrentProcessId());
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    SetEnvironmentVariableA("APPDATA", root.c_str());
    storage = root + "\\Ondrak\\VerriqTest\\";

    ASSERT_TRUE(OpenTopWindow(WindowMain, 0, 0, 400, 220, "Verriq-Test", 0xCD0001 | 0x10000000, nullptr));
    LoadToolbarImages();
    CreateMainMenu();
    CreateMainToolbar();
    CreateMainStatusBar();
    CreateFileList();
}

void MainWindowTest::TearDown() {
    ReleaseAllProtectedFiles();
    CloseSettings();
    CloseAllDataFiles();
    CloseTopWindow(WindowHotKey);
    CloseTopWindow(WindowMain);
    RemoveTree(root);
}

std::string MainWindowTest::MakeFile(const std::string& name, const std::string& text) {
    std::string path = root + "\\" + name;
    WriteBytes(path, text);
    return path;
}

std::string MainWindowTest::StatusText() const {
    HWND bar = FindWindowExA(WindowHandle(WindowMain), nullptr, STATUSCLASSNAMEA, nullptr);
    wchar_t text[256] = L"";
    SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    return FromWide(text);
}

bool MainWindowTest::RemoveEnabled() const {
    return SendMessageA(ToolbarHandle(ToolbarMain), TB_ISBUTTONENABLED, ItemRemoveFiles, 0) != 0;
}

void MainWindowTest::Select(int row) { WriteGadgetItemState(GadgetFileList, row, 1); }

void MainWindowTest::Serve(void (*end)()) { ASSERT_TRUE(served.Open(WindowHandle(WindowMain), storage, false, end)); }

} // namespace apptest
