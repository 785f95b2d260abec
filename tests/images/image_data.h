// Icon and bitmap file images built in memory, so every case names exactly what it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace image_data {

using Bytes = std::vector<unsigned char>;

inline void Put32(Bytes& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

inline std::size_t Stride(int width, int bits) {
    return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

// Information header, colour table, pixels of one colour and an all-opaque mask (an icon's
// picture; a bitmap's too, bar the doubled height). Palette pictures use index 1 for the colour.
inline Bytes IconPicture(int width, int height, int bits, COLORREF colour) {
    int paletteSize = bits <= 8 ? 1 << bits : 0;
    std::size_t stride = Stride(width, bits), pixels = 40 + paletteSize * 4;
    Bytes b(pixels + stride * height + Stride(width, 1) * height, 0);
    Put32(b, 0, 40);
    Put32(b, 4, width);
    Put32(b, 8, height * 2);
    Put32(b, 12, 1, 2);
    Put32(b, 14, bits, 2);
    const unsigned char bgra[] = {GetBValue(colour), GetGValue(colour), GetRValue(colour), 255};
    if (paletteSize) std::memcpy(&b[44], bgra, 3);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &b[pixels + stride * y];
        for (int x = 0; x < width; ++x) {
            if (bits == 8) row[x] = 1;
            if (bits >= 24) std::memcpy(&row[x * bits / 8], bgra, bits / 8);
        }
    }
    return b;
}

struct IconEntry {
    int width, height, bits;
    COLORREF colour;
};

inline Bytes Icon(const std::vector<IconEntry>& entries) {
    Bytes b(6 + 16 * entries.size(), 0);
    Put32(b, 2, 1, 2);
    Put32(b, 4, static_cast<unsigned>(entries.size()), 2);
    for (std::size_t i = 0, at = 6; i < entries.size(); ++i, at += 16) {
        const IconEntry& e = entries[i];
        Bytes picture = IconPicture(e.width, e.height, e.bits, e.colour);
        b[at] = static_cast<unsigned char>(e.width);
        b[at + 1] = static_cast<unsigned char>(e.height);
        Put32(b, at + 4, 1, 2);
        Put32(b, at + 6, e.bits, 2);
        Put32(b, at + 8, static_cast<std::uint32_t>(picture.size()));
        Put32(b, at + 12, static_cast<std::uint32_t>(b.size()));
        b.insert(b.end(), picture.begin(), picture.end());
    }
    return b;
}

// A bitmap file of one colour; 32-bit pixels carry the given alpha.
inline Bytes Bitmap(int width, int height, int bits, COLORREF colour, unsigned char alpha = 0) {
    std::size_t offset = 14 + 40 + (bits <= 8 ? 4 << bits : 0);
    Bytes b(offset + Stride(width, bits) * (height < 0 ? -height : height), 0);
    Bytes picture = IconPicture(width, height < 0 ? -height : height, bits, colour);
    std::memcpy(&b[14], picture.data(), b.size() - 14);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14 + 8, static_cast<std::uint32_t>(height));
    for (std::size_t i = offset + 3; bits == 32 && i < b.size(); i += 4)
        b[i] = alpha;
    return b;
}

} // namespace image_data
