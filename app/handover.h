// Paths handed in from outside: "Verriq.exe /schuetzen <path> [<path> ...]", as the Explorer's
// verb and scripts start it. A start that finds a copy running for its storage folder hands the
// paths over with WM_COPYDATA and ends; the copy checks what arrives and adds it as a drop does.
#pragma once

#include "app/handover_codec.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

extern const wchar_t* const ProtectArgument;
extern const wchar_t* const ReleaseArgument;

// The arguments after ProtectArgument (case ignored), each made full against the current
// folder; false when the line does not ask to protect anything.
bool PathsToProtect(const wchar_t* commandLine, std::vector<std::wstring>* paths);
// The same for ReleaseArgument: "Verriq.exe /freigeben <path> [<path> ...]".
bool PathsToRelease(const wchar_t* commandLine, std::vector<std::wstring>* paths);

// The hand-over's wire: WM_COPYDATA with this tag in dwData, its block the paths in UTF-16,
// each ending in a zero. The receiver answers HandOverReceipt for a block it took.
constexpr ULONG_PTR HandOverTag = 0x56525131;
// Paths to release for editing: the same wire, the same checks.
constexpr ULONG_PTR ReleaseHandOverTag = 0x56525132;
// "Verriq.exe /beenden" (app/quit_request.h): the same wire and checks; its block is one zero.
constexpr ULONG_PTR QuitHandOverTag = 0x56525133;
constexpr LRESULT HandOverReceipt = 1;
// A block taken, some of its paths refused by the checks (AcceptablePath); the others are added.
constexpr LRESULT HandOverPathsRefused = 2;
// The blocks, their bounds and the check of each path are in app/handover_codec.h.

enum class HandOverResult { Delivered, NoneRunning, Failed, Refused };
// Hands the paths to the copy for this storage folder, waiting a bounded time for its window
// to take them. Delivered: the copy took every block and every path passed its checks; it adds
// them with its next batch. Refused: every block was taken, but the copy refused a path.
// Failed: a block was not taken in time. NoneRunning: no copy is left and this process now
// holds the instance's claim.
HandOverResult HandPathsOver(const std::string& storageFolder, const std::vector<std::wstring>& paths,
                             ULONG_PTR tag = HandOverTag);

// The window of a running copy that takes hand-overs under this property name
// (HandOverPropertyName); null while there is none.
HWND FindPathReceiver(const std::wstring& property);

// Where the paths of later starts wait on their way in: the main window owns one for as long as
// it takes paths.
class PathInbox {
  public:
    // The main window takes paths in from now on, and says so where later starts look for it.
    void Start(HWND main, const std::string& storageFolder);
    // No more paths; what waits is dropped with the batches' timers.
    void Stop(HWND main);
    // A block reached the main window (WM_COPYDATA, HandOverTag or ReleaseHandOverTag): its
    // paths wait for the rest of their batch, which BatchTimer or ReleaseBatchTimer then
    // announces. Returns the receipt for the sender.
    LRESULT Take(HWND window, const COPYDATASTRUCT& data);
    // The waiting batch of paths to protect or to release, handed out once.
    std::vector<std::wstring> TakeBatch(bool releasing);

  private:
    std::wstring property_;
    std::vector<std::wstring> protect_;
    // Paths to release wait apart from those to protect: a batch does one or the other.
    std::vector<std::wstring> release_;
};
// Adds the acceptable paths of one batch as a drop does and selects their rows; a path refused
// is left out without stopping the others. Returns what to tell when nobody sees the window
// ("<n> Dateien hinzugefügt"), empty when the window is shown or nothing was added.
std::string AddArrivingPaths(const std::vector<std::wstring>& paths);
