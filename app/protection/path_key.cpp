#include "app/protection/path_key.h"

#include "settings/wide_text.h"

#include <windows.h>

namespace {

// "\\?\UNC\server\..." becomes "\\server\...", "\\?\C:\..." becomes "C:\...".
bool DropLiteralPrefix(std::wstring& wide) {
    if (wide.compare(0, 4, L"\\\\?\\") != 0) return false;
    bool unc = wide.compare(4, 4, L"UNC\\") == 0;
    wide.erase(unc ? 2 : 0, unc ? 6 : 4);
    return true;
}

} // namespace

std::wstring FileKey(std::wstring wide) {
    // One call into a buffer on the stack suffices for nearly every path; only a longer one
    // asks for its length first.
    wchar_t buffer[MAX_PATH + 1];
    if (!DropLiteralPrefix(wide)) {
        DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH + 1, buffer, nullptr);
        if (length > MAX_PATH)
            wide = FullPathName(wide);
        else if (length > 0)
            wide.assign(buffer, length);
    }
    // Only a name with a "~" can be a short one: every other path is spared the disk. A short
    // name is there to keep a path short: past the classic limit the key keeps it.
    if (wide.find(L'~') != std::wstring::npos) {
        DWORD length = GetLongPathNameW(wide.c_str(), buffer, MAX_PATH + 1);
        if (length > 0 && length <= MAX_PATH) wide.assign(buffer, length);
    }
    return FoldedCase(std::move(wide));
}
