// Icon and bitmap file images built in memory, so every case names exactly what it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace image_data {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

inline std::size_t Stride(int width, int bits) {
    return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

// Information header, colour table, pixels of one colour and an all-opaque mask. Palette
// pictures use index 1 for the colour.
inline Bytes IconPicture(int width, int height, int bits, COLORREF colour) {
    int paletteSize = bits <= 8 ? 1 << bits : 0;
    std::size_t colourBytes = Stride(width, bits) * height, maskBytes = Stride(width, 1) * height;
    Bytes b(40 + paletteSize * 4 + colourBytes + maskBytes, 0);
    Put32(b, 0, 40);
    Put32(b, 4, width);
    Put32(b, 8, height * 2);
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    unsigned char blue = GetBValue(colour), green = GetGValue(colour), red = GetRValue(colour);
    std::size_t pixels = 40 + paletteSize * 4;
    if (paletteSize) {
        b[40 + 4] = blue;
        b[40 + 5] = green;
        b[40 + 6] = red;
    }
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &b[pixels + Stride(width, bits) * y];
        for (int x = 0; x < width; ++x) {
            switch (bits) {
            case 4:
                row[x / 2] |= x % 2 ? 0x01 : 0x10;
                break;
            case 8:
                row[x] = 1;
                break;
            case 24:
                row[x * 3] = blue, row[x * 3 + 1] = green, row[x * 3 + 2] = red;
                break;
            case 32:
                row[x * 4] = blue, row[x * 4 + 1] = green, row[x * 4 + 2] = red, row[x * 4 + 3] = 255;
                break;
            }
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
    Put16(b, 2, 1);
    Put16(b, 4, static_cast<unsigned>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconEntry& e = entries[i];
        Bytes picture = IconPicture(e.width, e.height, e.bits, e.colour);
        std::size_t at = 6 + 16 * i;
        b[at] = static_cast<unsigned char>(e.width);
        b[at + 1] = static_cast<unsigned char>(e.height);
        Put16(b, at + 4, 1);
        Put16(b, at + 6, e.bits);
        Put32(b, at + 8, static_cast<std::uint32_t>(picture.size()));
        Put32(b, at + 12, static_cast<std::uint32_t>(b.size()));
        b.insert(b.end(), picture.begin(), picture.end());
    }
    return b;
}

// A bitmap file of one colour; 32-bit pixels carry the given alpha.
inline Bytes Bitmap(int width, int height, int bits, COLORREF colour, unsigned char alpha = 0) {
    int paletteSize = bits <= 8 ? 1 << bits : 0;
    std::size_t offset = 14 + 40 + paletteSize * 4;
    Bytes b(offset + Stride(width, bits) * (height < 0 ? -height : height), 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Bytes picture = IconPicture(width, height < 0 ? -height : height, bits, colour);
    // The icon picture's header, table and pixels are a bitmap's as well, bar the doubled height.
    std::memcpy(&b[14], picture.data(), b.size() - 14);
    Put32(b, 14 + 8, static_cast<std::uint32_t>(height));
    if (bits == 32)
        for (std::size_t i = offset + 3; i < b.size(); i += 4)
            b[i] = alpha;
    return b;
}

} // namespace image_data
