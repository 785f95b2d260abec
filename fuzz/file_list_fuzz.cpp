// The list document's codec: any bytes load; saving what was loaded and loading that again gives
// the same entries, each with its level; saving is stable; and a list that is already in the form
// we write comes back byte for byte. The first byte picks the system (bit 0: ANSI code page UTF-8
// instead of Windows-1252) and the codec's slice size (the other bits: 1 to 127 bytes, or 0 for the
// real size), so that slices end everywhere.
#include "settings/file_list_codec.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined stand for themselves, as the
// system's conversion has them.
constexpr char32_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendCodePoint(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void Decode1252(std::string_view bytes, std::string& out) {
    for (char byte : bytes) {
        auto b = static_cast<unsigned char>(byte);
        AppendCodePoint(b >= 0x80 && b < 0xA0 ? HighControls[b - 0x80] : b, out);
    }
}

// Strict: anything but well-formed UTF-8 of characters the code page has is refused.
bool Encode1252(std::string_view text, std::string& out) {
    std::string valid;
    AppendValidUtf8(text, valid);
    if (valid != text) return false;
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length == 4) return false;
        char32_t c = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32 && found < 0; ++k)
            if (HighControls[k] == c) found = k;
        if (found < 0) return false;
        out += static_cast<char>(0x80 + found);
    }
    return true;
}

const AnsiCodePage Windows1252{false, Encode1252, Decode1252};
const AnsiCodePage Utf8System{true, Encode1252, Decode1252};

bool StartsWithMark(std::string_view bytes) { return bytes.substr(0, Utf8Mark.size()) == Utf8Mark; }

// What a save writes without a mark: every line ended by CR LF, and text the code page holds.
bool InWrittenForm(std::string_view bytes, const AnsiCodePage& codePage) {
    if (StartsWithMark(bytes)) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    }
    if (!bytes.empty() && bytes.back() != '\n') return false;
    std::string valid;
    AppendValidUtf8(bytes, valid);
    return !codePage.isUtf8 || valid == bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const AnsiCodePage& codePage = data[0] & 1 ? Utf8System : Windows1252;
    std::size_t slice = data[0] >> 1 ? data[0] >> 1 : FileListSliceBytes;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<std::string> lines = FileListLines(bytes, codePage, slice);
    if (slice != FileListSliceBytes && FileListLines(bytes, codePage) != lines) std::abort();
    for (const std::string& line : lines) {
        std::string valid;
        AppendValidUtf8(line, valid);
        if (valid != line || line.find_first_of("\r\n") != std::string::npos) std::abort();
    }

    // A line is its path and its level, and they make the same line again; so does a parsed
    // entry, whatever its path ends in.
    for (const std::string& line : lines) {
        ListedFile file = ParseListLine(line);
        if (ListLine(file) != line) std::abort();
        ListedFile again = ParseListLine(ListLine(file));
        if (again.path != file.path || again.readable != file.readable) std::abort();
        if (line.compare(0, file.path.size(), file.path) != 0) std::abort();
    }

    std::string saved = FileListBytes(lines, codePage, slice);
    if (FileListLines(saved, codePage) != lines) std::abort();
    if (FileListBytes(FileListLines(saved, codePage, slice), codePage, slice) != saved) std::abort();
    // Every byte of Windows-1252 is a character: a list in the form we write stays as it is.
    if (InWrittenForm(bytes, codePage) && !StartsWithMark(saved) && saved != bytes) std::abort();

    std::string text = DecodeListText(bytes, codePage);
    if (DecodeListText(EncodeListText(text, codePage), codePage) != text) std::abort();
    return 0;
}
