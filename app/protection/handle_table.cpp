#include "app/protection/handle_table.h"

#include "core/system_library_win32.h"

#include <algorithm>
#include <cstring>

namespace {

// SystemExtendedHandleInformation: handle values and process ids at their full width.
constexpr ULONG ExtendedHandleInformation = 64;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// A system with millions of handles answers in tens of megabytes; past this we do without.
constexpr std::size_t MaxTableBytes = 64u << 20;
constexpr std::size_t FirstTableBytes = 256u << 10;

// The record the system fills, as its headers describe it.
struct RawEntry {
    void* object;
    ULONG_PTR process;
    ULONG_PTR value;
    ULONG access;
    USHORT creatorBackTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};
struct RawHeader {
    ULONG_PTR count;
    ULONG_PTR reserved;
};

using QueryFunction = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);

QueryFunction Query() {
    // ntdll is in every process from its first instruction: looking it up cannot load anything.
    static QueryFunction query =
        LookUpFunction<QueryFunction>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    return query;
}

} // namespace

bool ParseHandleTable(const unsigned char* bytes, std::size_t returned, std::size_t entrySize,
                      ULONG_PTR process, std::vector<HandleEntry>& entries) {
    if (!bytes || entrySize < sizeof(RawEntry) || returned < sizeof(RawHeader)) return false;
    RawHeader header;
    memcpy(&header, bytes, sizeof header);
    if (header.count > (returned - sizeof(RawHeader)) / entrySize) return false;
    for (std::size_t i = 0; i < header.count; ++i) {
        RawEntry raw;
        memcpy(&raw, bytes + sizeof(RawHeader) + i * entrySize, sizeof raw);
        if (process != 0 && raw.process != process) continue;
        entries.push_back(HandleEntry{raw.process, raw.value, raw.access, raw.type});
    }
    return true;
}

bool HandleTable::Read(ULONG_PTR process, std::vector<HandleEntry>& entries) {
    entries.clear();
    QueryFunction query = Query();
    if (!query) return false;
    if (buffer_.size() < FirstTableBytes) buffer_.resize(FirstTableBytes);
    for (;;) {
        ULONG returned = 0;
        LONG status =
            query(ExtendedHandleInformation, buffer_.data(), static_cast<ULONG>(buffer_.size()), &returned);
        if (status == StatusInfoLengthMismatch) {
            // Handles come and go between two calls: ask for a margin above what was said.
            std::size_t wanted =
                std::max<std::size_t>(buffer_.size() * 2, std::size_t(returned) + (64u << 10));
            if (wanted > MaxTableBytes) {
                buffer_.clear();
                buffer_.shrink_to_fit();
                return false;
            }
            buffer_.resize(wanted);
            continue;
        }
        if (status < 0) return false;
        std::size_t filled = returned == 0 || returned > buffer_.size() ? buffer_.size() : returned;
        if (!ParseHandleTable(buffer_.data(), filled, sizeof(RawEntry), process, entries)) {
            entries.clear();
            return false;
        }
        return true;
    }
}

unsigned short FileTypeIndex(HANDLE ownFile, const std::vector<HandleEntry>& entries) {
    const auto value = reinterpret_cast<ULONG_PTR>(ownFile);
    const ULONG_PTR self = GetCurrentProcessId();
    for (const HandleEntry& entry : entries)
        if (entry.value == value && entry.process == self) return entry.type;
    return 0;
}
