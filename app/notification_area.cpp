#include "app/notification_area.h"

#include "app/application.h"
#include "app/protection/protection_model.h"
#include "app/session.h"
#include "controls/menu.h"
#include "core/handles_win32.h"
#include "core/system_library_win32.h"
#include "framework/dpi.h"
#include "resources/resource_ids.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

namespace {

constexpr UINT PictureId = 1;
// The first look at a hidden start comes just after the first retry has had its chance.
constexpr unsigned FirstLookDelay = RetryInterval + 500;

using NotifyFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);

struct Picture {
    HWND main = nullptr;
    bool added = false;
    bool version4 = false; // clicks arrive as NIN_SELECT and WM_CONTEXTMENU with the point
    bool warning = false;  // the picture shown
    std::wstring tip;      // the tooltip shown
    int dpi = 0;
    UniqueIcon warningIcon; // at dpi
    bool firstLookPending = false;
    bool looking = false; // the look timer runs
    BalloonRule rule;
};
Picture picture;

// The shell library is taken in by the first call; without it there is no picture.
BOOL Notify(DWORD message, NOTIFYICONDATAW& data) {
    static auto function = LateSystemFunction<NotifyFunction>(L"shell32.dll", "Shell_NotifyIconW");
    return function && function(message, &data);
}

NOTIFYICONDATAW BaseData() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = picture.main;
    data.uID = PictureId;
    return data;
}

template <std::size_t N> void CopyText(wchar_t (&target)[N], const std::wstring& text) {
    lstrcpynW(target, text.c_str(), static_cast<int>(N));
}

// The small-icon size of the window's scale, as the notification area draws it there.
HICON CurrentIcon() {
    if (!picture.warning) return ProgramIconForDpi(picture.dpi, true);
    if (!picture.warningIcon) {
        int side = SystemMetricForDpi(SM_CXSMICON, picture.dpi);
        picture.warningIcon.reset(static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VERRIQ_WARNING), IMAGE_ICON, side, side, 0)));
    }
    // A warning without its own picture still looks like something.
    return picture.warningIcon ? picture.warningIcon.get() : ProgramIconForDpi(picture.dpi, true);
}

NOTIFYICONDATAW StateData() {
    NOTIFYICONDATAW data = BaseData();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = PictureMessage;
    data.hIcon = CurrentIcon();
    CopyText(data.szTip, picture.tip);
    return data;
}

void Add() {
    NOTIFYICONDATAW data = StateData();
    // After the Explorer restarted, a picture of ours may be there already.
    picture.added = Notify(NIM_ADD, data) || Notify(NIM_MODIFY, data);
    if (!picture.added) return;
    data.uVersion = NOTIFYICON_VERSION_4;
    picture.version4 = Notify(NIM_SETVERSION, data) != FALSE;
}

void ShowState() {
    if (picture.added) {
        NOTIFYICONDATAW data = StateData();
        if (!Notify(NIM_MODIFY, data)) Add();
    }
}

void ShowMenu(POINT at) {
    Number menu = CreateImagePopup(AnyNumber, MenuStyleShaded);
    if (!menu) return;
    AddMenuEntry(ItemShowWindow, "&Anzeigen", nullptr);
    // A plain separator: the image menu takes it over and draws it when the menu first opens.
    AppendMenuW(MenuHandle(menu), MF_SEPARATOR, 0, nullptr);
    AddMenuEntry(ItemQuitMenu, "&Beenden", nullptr);
    // Without the window in front, the menu would stay open when the user clicks elsewhere.
    SetForegroundWindow(picture.main);
    ShowPopupMenu(menu, picture.main, at);
    // The choice arrives posted, as from the menu bar; the menu itself is no longer needed.
    FreeMenu(menu);
}

void StartLooking(unsigned delay) {
    picture.looking = SetTimer(picture.main, LookTimer, delay, nullptr) != 0;
}

} // namespace

void OnPictureEvent(WPARAM wParam, LPARAM lParam) {
    UINT event = picture.version4 ? LOWORD(lParam) : static_cast<UINT>(lParam);
    POINT at{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
    if (!picture.version4) GetCursorPos(&at);
    switch (event) {
    case WM_LBUTTONUP:
        if (picture.version4) break; // NIN_SELECT follows
        [[fallthrough]];
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONDBLCLK:
    case NIN_BALLOONUSERCLICK:
        ShowMainWindowInFront(picture.main);
        break;
    case WM_RBUTTONUP:
        if (picture.version4) break; // WM_CONTEXTMENU follows
        [[fallthrough]];
    case WM_CONTEXTMENU:
        ShowMenu(at);
        break;
    default:
        break;
    }
}

void LookAtProtection() {
    bool early = picture.firstLookPending;
    picture.firstLookPending = false;
    bool whole = Protection().UnprotectedRows() == 0;
    int alarming = whole ? 0 : Protection().AlarmingRows(GetTickCount64());
    bool hidden = !IsWindowVisible(picture.main);
    if (picture.rule.Look(GetTickCount64(), whole, alarming, hidden, early))
        ShowNotifyBalloon(ProductName, NotProtectedText(alarming).c_str(), true);
    // Nothing more to say until protection is whole again, which the status tells.
    if (whole || picture.rule.told) {
        KillTimer(picture.main, LookTimer);
        picture.looking = false;
    } else if (early) {
        StartLooking(LookInterval);
    }
}

void AddPictureAgain() { Add(); }

void FollowPictureScale(int dpi) {
    picture.dpi = dpi;
    picture.warningIcon.reset();
    ShowState();
}

std::string NotifyTooltipText(int held, int unprotected, int released) {
    std::string text = std::string(ProductName) + ": " + FormatInteger(held);
    text += held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt";
    if (unprotected > 0) text += ", " + FormatInteger(unprotected) + " nicht geschützt";
    if (released > 0) text += ", " + FormatInteger(released) + " zum Bearbeiten freigegeben";
    return text;
}

std::string NotProtectedText(int rows) {
    return FormatInteger(rows) + (rows == 1 ? " Datei nicht geschützt" : " Dateien nicht geschützt");
}

bool BalloonRule::Look(unsigned long long now, bool whole, int alarming, bool hidden, bool early) {
    if (whole) {
        told = false;
        since = 0;
        return false;
    }
    if (alarming == 0) {
        since = 0;
        return false;
    }
    if (since == 0) since = now;
    if (told || !hidden || (!early && now - since < WarnAfter)) return false;
    told = true;
    return true;
}

void StartNotificationArea(HWND main, bool hiddenStart) {
    if (!main || picture.main) return;
    picture.main = main;
    picture.dpi = DpiForWindow(main);
    int unprotected = Protection().UnprotectedRows();
    picture.warning = unprotected > 0;
    picture.tip =
        ToWide(NotifyTooltipText(Protection().HeldCount(), unprotected, Protection().ReleasedRows()));
    Add();
    if (hiddenStart) {
        picture.firstLookPending = true;
        StartLooking(FirstLookDelay);
    }
    OnProtectionChanged();
}

void StopNotificationArea() {
    if (!picture.main) return;
    if (picture.added) {
        NOTIFYICONDATAW data = BaseData();
        Notify(NIM_DELETE, data);
        picture.added = false;
    }
    KillTimer(picture.main, LookTimer);
    picture.main = nullptr;
    picture.warningIcon.reset();
}

void OnProtectionChanged() {
    if (!picture.main) return;
    int unprotected = Protection().UnprotectedRows();
    bool warning = unprotected > 0;
    std::wstring tip =
        ToWide(NotifyTooltipText(Protection().HeldCount(), unprotected, Protection().ReleasedRows()));
    if (warning != picture.warning || tip != picture.tip) {
        picture.warning = warning;
        picture.tip = std::move(tip);
        ShowState();
    }
    if (!warning) {
        // Whole again: the next gap is news.
        picture.rule.Look(GetTickCount64(), true, 0, true, false);
        if (!picture.firstLookPending && picture.looking) {
            KillTimer(picture.main, LookTimer);
            picture.looking = false;
        }
    } else if (!picture.looking && !picture.rule.told) {
        StartLooking(LookInterval);
    }
}

bool ShowNotifyBalloon(const char* title, const char* text, bool warning) {
    if (!picture.added) return false;
    NOTIFYICONDATAW data = BaseData();
    data.uFlags = NIF_INFO;
    CopyText(data.szInfoTitle, ToWide(title));
    CopyText(data.szInfo, ToWide(text));
    data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    return Notify(NIM_MODIFY, data) != FALSE;
}
