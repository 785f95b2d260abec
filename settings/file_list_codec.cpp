#include "settings/file_list_codec.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

// Every ANSI code page agrees with ASCII below 0x80, and no lead byte of a double-byte code page
// is there: text without a high byte is the same in all of them and needs no conversion, which
// is what nearly every list is.
bool IsAscii(std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size(), i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

bool StartsWithMark(std::string_view bytes) { return bytes.substr(0, Utf8Mark.size()) == Utf8Mark; }

void DecodeSlice(std::string_view bytes, bool utf8, const AnsiCodePage& codePage, std::string& out) {
    if (IsAscii(bytes))
        out.append(bytes.data(), bytes.size());
    else if (utf8 || codePage.isUtf8)
        AppendValidUtf8(bytes, out);
    else
        codePage.decode(bytes, out);
}

void SplitLines(std::string_view text, std::vector<std::string>& lines) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
}

} // namespace

void AppendValidUtf8(std::string_view text, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size(), i = 0, copied = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The bytes that may follow c, by the table of well-formed sequences: no overlong form,
        // no surrogate, nothing above U+10FFFF.
        std::size_t need = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            need = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        }
        std::size_t got = 0;
        while (got < need && i + 1 + got < n) {
            unsigned char next = p[i + 1 + got];
            if (next < (got == 0 ? low : 0x80) || next > (got == 0 ? high : 0xBF)) break;
            ++got;
        }
        if (need > 0 && got == need) {
            i += 1 + need;
            continue;
        }
        // One replacement for the longest start of a sequence that could have been valid.
        out.append(text.data() + copied, i - copied);
        out += ReplacementCharacter;
        i += 1 + got;
        copied = i;
    }
    out.append(text.data() + copied, n - copied);
}

std::string EncodeListText(std::string_view text, const AnsiCodePage& codePage) {
    std::string bytes;
    FileListEncoder encoder(bytes, codePage);
    encoder.AddText(text);
    encoder.Finish();
    return bytes;
}

std::string DecodeListText(std::string_view bytes, const AnsiCodePage& codePage) {
    std::string text;
    bool utf8 = StartsWithMark(bytes);
    DecodeSlice(bytes.substr(utf8 ? Utf8Mark.size() : 0), utf8, codePage, text);
    return text;
}

FileListEncoder::FileListEncoder(std::string& out, const AnsiCodePage& codePage, std::size_t sliceBytes)
    : out_(out), codePage_(codePage), sliceBytes_(sliceBytes), utf8_(codePage.isUtf8) {
    out_.clear();
}

void FileListEncoder::Add(std::string_view path) {
    pending_.append(path.data(), path.size());
    pending_ += "\r\n";
    if (pending_.size() >= sliceBytes_) Encode();
}

void FileListEncoder::AddText(std::string_view text) {
    pending_.append(text.data(), text.size());
    if (pending_.size() >= sliceBytes_) Encode();
}

void FileListEncoder::Finish() {
    Encode();
    // A document that merely begins with the mark's bytes (a first path starting with "ï»¿" in
    // Windows-1252, or with U+FEFF) would lose them when read: the mark in front keeps them.
    if (!marked_ && StartsWithMark(out_)) SwitchToUtf8(out_.size());
}

void FileListEncoder::Encode() {
    if (pending_.empty()) return;
    std::size_t start = out_.size();
    if (utf8_) {
        AppendValidUtf8(pending_, out_);
    } else if (IsAscii(pending_)) {
        out_ += pending_;
    } else if (!codePage_.encode(pending_, out_)) {
        SwitchToUtf8(start);
        AppendValidUtf8(pending_, out_);
    }
    pending_.clear();
}

void FileListEncoder::SwitchToUtf8(std::size_t encodedSize) {
    out_.resize(encodedSize);
    if (utf8_) {
        out_.insert(0, Utf8Mark);
    } else {
        // What is written so far went through the code page without loss: it comes back whole.
        std::string text(Utf8Mark);
        codePage_.decode(out_, text);
        out_.assign(text);
    }
    utf8_ = marked_ = true;
}

std::string FileListBytes(const std::vector<std::string>& paths, const AnsiCodePage& codePage,
                          std::size_t sliceBytes) {
    std::string bytes;
    FileListEncoder encoder(bytes, codePage, sliceBytes);
    for (const std::string& path : paths) encoder.Add(path);
    encoder.Finish();
    return bytes;
}

std::vector<std::string> FileListLines(std::string_view bytes, const AnsiCodePage& codePage,
                                       std::size_t sliceBytes) {
    bool utf8 = StartsWithMark(bytes);
    if (utf8) bytes.remove_prefix(Utf8Mark.size());
    std::vector<std::string> lines;
    std::string text;
    // A slice ends after an LF: no CR LF pair and no character of either encoding is cut.
    while (!bytes.empty()) {
        std::size_t cut = bytes.size() <= sliceBytes ? std::string_view::npos : bytes.find('\n', sliceBytes);
        std::size_t take = cut == std::string_view::npos ? bytes.size() : cut + 1;
        std::string_view slice = bytes.substr(0, take);
        bytes.remove_prefix(take);
        if (IsAscii(slice)) {
            SplitLines(slice, lines);
            continue;
        }
        text.clear();
        DecodeSlice(slice, utf8, codePage, text);
        SplitLines(text, lines);
    }
    return lines;
}

ListedFile ParseListLine(std::string line) {
    ListedFile file;
    std::size_t size = line.size(), suffix = ReadableSuffix.size();
    file.readable = size > suffix && line.compare(size - suffix, suffix, ReadableSuffix) == 0;
    if (file.readable) line.resize(size - suffix);
    file.path = std::move(line);
    return file;
}

std::string ListLine(const ListedFile& file) {
    std::string line = file.path;
    if (file.readable) line += ReadableSuffix;
    return line;
}
