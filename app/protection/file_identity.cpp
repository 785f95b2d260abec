#include "app/protection/file_identity.h"

#include "core/system_library_win32.h"

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

// The serial of the volume a path is on, asked once per drive letter ("C:\..." or
// "\\?\C:\..."); other paths (network shares) are asked through handle each time.
bool VolumeSerial(HANDLE handle, const std::wstring& path, unsigned long& serial) {
    // Only the main thread holds files; the cache needs no lock.
    static unsigned long serials[26];
    static unsigned long known; // one bit per drive
    std::size_t start = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    wchar_t letter = path.size() > start + 2 && path[start + 1] == L':' ? path[start] | 0x20 : 0;
    int drive = letter >= L'a' && letter <= L'z' ? letter - L'a' : -1;
    if (drive >= 0 && (known >> drive & 1)) {
        serial = serials[drive];
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return false;
    serial = information.dwVolumeSerialNumber;
    if (drive >= 0) {
        serials[drive] = serial;
        known |= 1ul << drive;
    }
    return true;
}

unsigned long long NextOpening() {
    // Only the main thread holds files.
    static unsigned long long openings = 0;
    return ++openings;
}

} // namespace

FileIdentity PendingIdentity() {
    FileIdentity identity;
    identity.pending = true;
    identity.opened = NextOpening();
    return identity;
}

FileIdentity TakeFileIdentity(HANDLE handle, const std::wstring& path) {
    FileIdentity identity;
    identity.opened = NextOpening();
    QueryFileFunction query = QueryFile();
    IoStatus status{};
    LARGE_INTEGER index{};
    if (!query || query(handle, &status, &index, sizeof index, InternalInformation) < 0) {
        // Where the quick way is missing, the slow one still vouches for the handle.
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(handle, &information)) return identity;
        identity.volume = information.dwVolumeSerialNumber;
        identity.index =
            (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
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
