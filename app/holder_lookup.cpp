#include "app/holder_lookup.h"

#include "app/handle_table.h"
#include "core/handles_win32.h"
#include "core/system_library_win32.h"
#include "settings/wide_text.h"

#include <restartmanager.h>

#include <algorithm>
#include <map>
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

class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};

// The path as both sides compare it: without the "\\?\" the system's answers start with.
std::wstring Comparable(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return FoldedCase(L"\\\\" + path.substr(8));
    if (path.compare(0, 4, L"\\\\?\\") == 0) return FoldedCase(path.substr(4));
    return FoldedCase(path);
}

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

void AddName(std::vector<std::string>& names, std::string name) {
    if (name.empty() || names.size() >= MaxNames) return;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
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
    std::vector<std::string> names;
    LPCWSTR files[1] = {path.c_str()};
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        std::vector<RM_PROCESS_INFO> found(4);
        for (int attempt = 0; attempt < 3; ++attempt) {
            UINT needed = 0, count = static_cast<UINT>(found.size());
            DWORD reasons = 0;
            DWORD result = list(session, &needed, &count, found.data(), &reasons);
            if (result == ERROR_MORE_DATA && needed > found.size() && needed <= 64) {
                found.resize(needed);
                continue;
            }
            if (result != ERROR_SUCCESS) break;
            for (UINT i = 0; i < count && i < found.size(); ++i) {
                found[i].strAppName[CCH_RM_MAX_APP_NAME] = L'\0';
                std::string file = ProgramFileName(found[i].Process.dwProcessId);
                std::string app = FromWide(found[i].strAppName);
                if (file.empty())
                    AddName(names, app);
                else if (app.empty() || FoldedCase(ToWide(app)) == FoldedCase(ToWide(file)))
                    AddName(names, file);
                else
                    AddName(names, file + ": " + app);
            }
            break;
        }
    }
    end(session);
    return Joined(names);
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
    std::vector<std::pair<std::wstring, std::wstring>> asked; // key, path
    std::vector<HolderAnswer> answers;
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
            std::pair<std::wstring, std::wstring> next;
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
            std::string program = FindHolders(next.second, SearchLimit);
            {
                ExclusiveLock hold(shared.lock);
                shared.answers.push_back(HolderAnswer{std::move(next.first), std::move(program)});
            }
            PostMessageW(window, message, 0, 0);
        }
    }
}

// Main thread only.
std::map<std::wstring, unsigned long long> lastAsked;

} // namespace

std::string FindHoldersInHandleTable(const std::wstring& path, unsigned long limitMilliseconds) {
    if (abandoned >= MaxAbandoned) return {};
    const unsigned long long deadline = GetTickCount64() + limitMilliseconds;
    const DWORD self = GetCurrentProcessId();
    // The kind of object a file is, from a handle of our own on the very file: an open that asks
    // for no access is refused by no share mode.
    UniqueFile own(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!own) return {};
    HandleTable table;
    std::vector<HandleEntry> entries;
    if (!table.Read(0, entries)) return {};
    std::vector<HandleEntry> ownEntries;
    for (const HandleEntry& entry : entries)
        if (entry.process == self) ownEntries.push_back(entry);
    unsigned short fileType = FileTypeIndex(own.get(), ownEntries);
    own.reset();
    if (fileType == 0) return {};
    const std::wstring wanted = Comparable(path);

    Namer* namer = StartNamer();
    std::map<unsigned long long, UniqueKernelHandle> processes; // null: may not be opened
    std::vector<unsigned long long> skipped;                    // processes whose handle hung
    std::vector<std::string> names;
    std::vector<unsigned long long> found;
    for (const HandleEntry& entry : entries) {
        if (!namer || GetTickCount64() >= deadline) break;
        // Our own handles: a second row that holds the file is told apart elsewhere.
        if (entry.type != fileType || entry.process == self || entry.process > 0xFFFFFFFFull) continue;
        if (std::find(found.begin(), found.end(), entry.process) != found.end()) continue;
        if (std::find(skipped.begin(), skipped.end(), entry.process) != skipped.end()) continue;
        auto process = processes.find(entry.process);
        if (process == processes.end()) {
            HANDLE opened = OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                        static_cast<DWORD>(entry.process));
            process = processes.emplace(entry.process, UniqueKernelHandle(opened)).first;
        }
        if (!process->second) continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process->second.get(), reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.value)),
                             GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        namer->file = copy;
        SetEvent(namer->ask.get());
        if (WaitForSingleObject(namer->done.get(), HandleQuestionLimit) != WAIT_OBJECT_0) {
            // Stuck in the system: the thread, its copy and its memory stay behind, never reused.
            skipped.push_back(entry.process);
            if (++abandoned >= MaxAbandoned) break;
            namer = StartNamer();
            continue;
        }
        std::wstring name(namer->name, namer->length);
        CloseHandle(copy);
        if (name.empty() || Comparable(name) != wanted) continue;
        found.push_back(entry.process);
        AddName(names, ProgramFileName(static_cast<DWORD>(entry.process)));
    }
    StopNamer(namer);
    return Joined(names);
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

void AskHolder(const std::wstring& key, const std::wstring& path, unsigned long long now) {
    auto last = lastAsked.find(key);
    if (last != lastAsked.end() && now - last->second < HolderAskInterval) return;
    if (lastAsked.size() > 4096) {
        // Files busy long ago need no memory of it.
        for (auto old = lastAsked.begin(); old != lastAsked.end();)
            old = now - old->second >= HolderAskInterval ? lastAsked.erase(old) : std::next(old);
    }
    lastAsked[key] = now;
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
    shared.asked.emplace_back(key, path);
    SetEvent(shared.wake.get());
}

std::vector<HolderAnswer> TakeHolderAnswers() {
    Shared& shared = State();
    ExclusiveLock hold(shared.lock);
    std::vector<HolderAnswer> answers;
    answers.swap(shared.answers);
    return answers;
}
