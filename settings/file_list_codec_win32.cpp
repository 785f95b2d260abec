#include "settings/file_list_codec.h"

#include "settings/wide_text.h"

#include <windows.h>

namespace {

bool EncodeAnsi(std::string_view text, std::string& out) {
    std::wstring wide = ToWide(text);
    if (wide.empty()) return text.empty();
    // One pass: room for the longest characters the code page has, then cut to what came out.
    static const UINT widest = [] {
        CPINFO info{};
        return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 0 ? info.MaxCharSize : 2u;
    }();
    std::size_t start = out.size();
    out.resize(start + wide.size() * widest);
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                     out.data() + start, static_cast<int>(wide.size() * widest), nullptr,
                                     &usedDefault);
    out.resize(start + static_cast<std::size_t>(length > 0 ? length : 0));
    return length > 0 && !usedDefault;
}

void DecodeAnsi(std::string_view bytes, std::string& out) {
    if (bytes.empty()) return;
    int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    out += FromWide(wide);
}

} // namespace

const AnsiCodePage& SystemAnsiCodePage() {
    static const AnsiCodePage system{GetACP() == CP_UTF8, EncodeAnsi, DecodeAnsi};
    return system;
}
