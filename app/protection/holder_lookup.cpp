#include "app/protection/holder_lookup.h"

#include "app/protection/handle_table.h"
#include "app/protection/path_key.h"
#include "core/handles_win32.h"
#include "core/system_library_win32.h"
#include "settings/wide_text.h"

#include <restartmanager.h>

#include <algorithm>
#include <memory>

namespace {

// One handle's questions may take this long before its thread is given up.
constexpr DWORD HandleQuestionLimit = 250;
// Threads stuck in the system are left behind; after this many, the table is not searched again.
constexpr int MaxAbandoned = 4;
// One search as a whole.
constexpr unsigned long SearchLimit = 5000;
// Names a row shows before it stops.
constexpr std::size_t MaxNames = 3;

std::string ProgramFileName(DWORD process) {
    UniqueKernelHandle opened(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!opened) return {};
    wchar_t image[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(opened.get(), 0, image, &length) || length == 0) return {};
    std::wstring path(image, length);
    std::size_t slash = path.find_last_of(L"\\/");
    return FromWide(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// Adds a program's name to the list a row shows, once, and up to a few.
void AddName(std::string& names, std::size_t& count, const std::string& name) {
    if (name.empty() || count >= MaxNames) return;
    std::string separated = ", " + names + ", ";
    if (separated.find(", " + name + ", ") != std::string::npos) return;
    if (count++ > 0) names += ", ";
    names += name;
}

// Restart Manager's answer: each program's file name, with its own name for it beside it.
std::string AskRestartManager(const std::wstring& path) {
    using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using Register = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    using List = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
    using End = DWORD(WINAPI*)(DWORD);
    UniqueModule library = LoadSystemLibrary(L"rstrtmgr.dll");
    auto start = LookUpFunction<Start>(library.get(), "RmStartSession");
    auto add = LookUpFunction<Register>(library.get(), "RmRegisterResources");
    auto list = LookUpFunction<List>(library.get(), "RmGetList");
    auto end = LookUpFunction<End>(library.get(), "RmEndSession");
    if (!start || !add || !list || !end) return {};
    DWORD session = 0;
    WCHAR sessionKey[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, sessionKey) != ERROR_SUCCESS) return {};
    std::string names;
    std::size_t named = 0;
    LPCWSTR files[1] = {path.c_str()};
    // More holders than a row names are not asked for: a list that does not fit says "more
    // data" and fills nothing, and then the handle table is asked instead.
    RM_PROCESS_INFO found[MaxNames];
    UINT needed = 0, count = MaxNames;
    DWORD reasons = 0;
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        list(session, &needed, &count, found, &reasons) == ERROR_SUCCESS) {
        for (UINT i = 0; i < count && i < MaxNames; ++i) {
            found[i].strAppName[CCH_RM_MAX_APP_NAME] = L'\0';
            std::string file = ProgramFileName(found[i].Process.dwProcessId);
            std::string app = FromWide(found[i].strAppName);
            if (file.empty() || app.empty() || lstrcmpiW(ToWide(app).c_str(), ToWide(file).c_str()) == 0)
                AddName(names, named, file.empty() ? app : file);
            else
                AddName(names, named, file + ": " + app);
        }
    }
    end(session);
    return names;
}

// Asks one duplicated handle at a time what it is and which file it names, on a thread the
// searcher gives up on when a question does not come back.
struct Namer {
    UniqueKernelHandle ask{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HANDLE file = nullptr; // null: no more questions, the thread ends and takes this with it
    DWORD length = 0;
    wchar_t name[1024];

    static DWORD WINAPI Run(void* parameter) {
        auto* namer = static_cast<Namer*>(parameter);
        for (;;) {
            WaitForSingleObject(namer->ask.get(), INFINITE);
            if (!namer->file) {
                delete namer;
                return 0;
            }
            namer->length = 0;
            // Only disk files are asked for their name: that question can wait forever on a pipe.
            if (GetFileType(namer->file) == FILE_TYPE_DISK) {
                DWORD length = GetFinalPathNameByHandleW(namer->file, namer->name, 1024, 0);
                namer->length = length < 1024 ? length : 0;
            }
            SetEvent(namer->done.get());
        }
    }
};

int abandoned = 0; // touched by the searching thread only

// The namer belongs to its thread once it runs: the searcher lets it go (StopNamer) or leaves
// it behind, stuck, but never frees it.
Namer* StartNamer() {
    auto namer = std::make_unique<Namer>();
    if (!namer->ask || !namer->done) return nullptr;
    UniqueKernelHandle thread(CreateThread(nullptr, 0, Namer::Run, namer.get(), 0, nullptr));
    return thread ? namer.release() : nullptr;
}

void StopNamer(Namer* namer) {
    if (!namer) return;
    namer->file = nullptr;
    SetEvent(namer->ask.get());
}

struct Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    UniqueKernelHandle wake;
    HWND window = nullptr;
    unsigned message = 0;
    std::vector<BusyFile> asked;
    std::vector<BusyFile> answers;
    bool running = false;
};

Shared& State() {
    // Never destroyed: the searching thread may still be at work when the program ends.
    static Shared* shared = new Shared;
    return *shared;
}

DWORD WINAPI Search(void*) {
    Shared& shared = State();
    for (;;) {
        WaitForSingleObject(shared.wake.get(), INFINITE);
        for (;;) {
            BusyFile next;
            HWND window;
            unsigned message;
            {
                ExclusiveLock hold(shared.lock);
                if (shared.asked.empty()) break;
                next = std::move(shared.asked.front());
                shared.asked.erase(shared.asked.begin());
                window = shared.window;
                message = shared.message;
            }
            next.program = FindHolders(next.path, SearchLimit);
            {
                ExclusiveLock hold(shared.lock);
                shared.answers.push_back(std::move(next));
            }
            PostMessageW(window, message, 0, 0);
        }
    }
}

// Main thread only: when each busy file was last asked about. Few files are busy at a time.
std::vector<BusyFile> lastAsked;

} // namespace

std::string FindHoldersInHandleTable(const std::wstring& path, unsigned long limitMilliseconds) {
    if (abandoned >= MaxAbandoned) return {};
    const unsigned long long deadline = GetTickCount64() + limitMilliseconds;
    const DWORD self = GetCurrentProcessId();
    // The kind of object a file is, from a handle of our own on the very file: an open that asks
    // for no access is refused by no share mode.
    UniqueFile own(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!own) return {};
    HandleTable table;
    std::vector<HandleEntry> entries;
    if (!table.Read(0, entries)) return {};
    unsigned short fileType = FileTypeIndex(own.get(), entries);
    own.reset();
    if (fileType == 0) return {};
    const std::wstring wanted = FileKey(path);

    Namer* namer = StartNamer();
    // Each process is opened once per search (null: it may not be), and closed at its end.
    struct Opened {
        ULONG_PTR id;
        HANDLE handle;
        bool done; // named already, or one of its handles hung
    };
    std::vector<Opened> processes;
    std::string names;
    std::size_t named = 0;
    for (const HandleEntry& entry : entries) {
        if (!namer || GetTickCount64() >= deadline) break;
        // Our own handles: a second row that holds the file is told apart elsewhere.
        if (entry.type != fileType || entry.process == self) continue;
        std::size_t slot = 0;
        while (slot < processes.size() && processes[slot].id != entry.process)
            ++slot;
        if (slot == processes.size())
            processes.push_back(Opened{entry.process,
                                       OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                   FALSE, static_cast<DWORD>(entry.process)),
                                       false});
        if (!processes[slot].handle || processes[slot].done) continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(processes[slot].handle,
                             reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.value)),
                             GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        namer->file = copy;
        SetEvent(namer->ask.get());
        if (WaitForSingleObject(namer->done.get(), HandleQuestionLimit) != WAIT_OBJECT_0) {
            // Stuck in the system: the thread, its copy and its memory stay behind, never reused.
            processes[slot].done = true;
            if (++abandoned >= MaxAbandoned) break;
            namer = StartNamer();
            continue;
        }
        std::wstring name(namer->name, namer->length);
        CloseHandle(copy);
        if (name.empty() || FileKey(name) != wanted) continue;
        processes[slot].done = true;
        AddName(names, named, ProgramFileName(static_cast<DWORD>(entry.process)));
    }
    StopNamer(namer);
    for (const Opened& process : processes)
        if (process.handle) CloseHandle(process.handle);
    return names;
}

std::string FindHolders(const std::wstring& path, unsigned long limitMilliseconds) {
    std::string named = AskRestartManager(path);
    return named.empty() ? FindHoldersInHandleTable(path, limitMilliseconds) : named;
}

void StartHolderLookup(HWND window, unsigned message) {
    Shared& shared = State();
    ExclusiveLock hold(shared.lock);
    shared.window = window;
    shared.message = message;
}

void AskHolder(const BusyFile& file, unsigned long long now) {
    std::size_t slot = 0;
    while (slot < lastAsked.size() && lastAsked[slot].key != file.key)
        ++slot;
    if (slot < lastAsked.size() && now - lastAsked[slot].asked < HolderAskInterval) return;
    if (slot == lastAsked.size()) {
        // So many busy files at once: the oldest memories go, and some files are asked sooner.
        if (lastAsked.size() >= 256) lastAsked.erase(lastAsked.begin(), lastAsked.begin() + 128);
        lastAsked.push_back(BusyFile{file.key, {}, {}, now});
    } else {
        lastAsked[slot].asked = now;
    }
    Shared& shared = State();
    ExclusiveLock hold(shared.lock);
    if (!shared.window) return;
    if (!shared.running) {
        shared.wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!shared.wake) return;
        UniqueKernelHandle thread(CreateThread(nullptr, 0, Search, nullptr, 0, nullptr));
        if (!thread) return;
        shared.running = true;
    }
    shared.asked.push_back(file);
    SetEvent(shared.wake.get());
}

void ForgetHoldersOfOthers(const std::vector<BusyFile>& busy) {
    for (std::size_t slot = lastAsked.size(); slot-- > 0;) {
        bool still = false;
        for (const BusyFile& file : busy)
            still = still || file.key == lastAsked[slot].key;
        if (!still) lastAsked.erase(lastAsked.begin() + slot);
    }
}

std::vector<BusyFile> TakeHolderAnswers() {
    Shared& shared = State();
    ExclusiveLock hold(shared.lock);
    std::vector<BusyFile> answers;
    answers.swap(shared.answers);
    return answers;
}
