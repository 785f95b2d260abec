#include "app/file_identity.h"

#include "core/system_library_win32.h"

#include <map>

namespace {

// FileInternalInformation: the file's index alone, without the volume query that makes
// GetFileInformationByHandle slow under Wine.
constexpr ULONG InternalInformation = 6;
struct IoStatus {
    void* status;
    ULONG_PTR information;
};
using QueryFileFunction = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);

QueryFileFunction QueryFile() {
    static QueryFileFunction query =
        LookUpFunction<QueryFileFunction>(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile");
    return query;
}

// The root a path's volume is named by: "C:\" or "\\server\share\" (a long path's "\\?\" form
// too). A volume mounted in a folder of another is taken for the outer one.
std::wstring VolumeRoot(const std::wstring& path) {
    std::size_t start = 0;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        start = 8;
    else if (path.compare(0, 4, L"\\\\?\\") == 0)
        start = 4;
    else if (path.compare(0, 2, L"\\\\") == 0)
        start = 2;
    if (start == 4 || (start == 0 && path.size() >= 2 && path[1] == L':'))
        return path.size() >= start + 2 ? path.substr(0, start + 2) + L'\\' : std::wstring();
    // \\server\share\: two parts after the start.
    std::size_t server = path.find(L'\\', start);
    if (server == std::wstring::npos) return {};
    std::size_t share = path.find(L'\\', server + 1);
    std::wstring root = share == std::wstring::npos ? path + L'\\' : path.substr(0, share + 1);
    return start == 8 ? L"\\\\" + root.substr(8) : root;
}

// The serial of the volume path is on, asked once per volume: by its root where the system
// answers for it, else through handle (a drive that refuses the root's question still answers
// for its files).
bool VolumeSerial(HANDLE handle, const std::wstring& path, unsigned long& serial) {
    // Only the main thread holds files; the cache needs no lock.
    static std::map<std::wstring, unsigned long> known;
    std::wstring root = VolumeRoot(path);
    auto found = root.empty() ? known.end() : known.find(root);
    if (found != known.end()) {
        serial = found->second;
        return true;
    }
    DWORD value = 0;
    if (root.empty() || !GetVolumeInformationW(root.c_str(), nullptr, 0, &value, nullptr, nullptr, nullptr, 0)) {
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(handle, &information)) return false;
        value = information.dwVolumeSerialNumber;
    }
    if (!root.empty()) known.emplace(root, value);
    serial = value;
    return true;
}

} // namespace

FileIdentity TakeFileIdentity(HANDLE handle, const std::wstring& path) {
    FileIdentity identity;
    QueryFileFunction query = QueryFile();
    IoStatus status{};
    LARGE_INTEGER index{};
    if (!query || query(handle, &status, &index, sizeof index, InternalInformation) < 0) {
        // Where the quick way is missing, the slow one still vouches for the handle.
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(handle, &information)) return identity;
        identity.volume = information.dwVolumeSerialNumber;
        identity.index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        identity.known = true;
        return identity;
    }
    if (!VolumeSerial(handle, path, identity.volume)) return identity;
    identity.index = static_cast<unsigned long long>(index.QuadPart);
    identity.known = true;
    return identity;
}

bool StillNames(HANDLE handle, const FileIdentity& identity) {
    if (!identity.known) return false;
    // Anything that is not a disk file (an event, a thread, a pipe) is refused before the
    // query that could wait on it.
    if (GetFileType(handle) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return false;
    unsigned long long index =
        (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return information.dwVolumeSerialNumber == identity.volume && index == identity.index;
}
