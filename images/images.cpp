#include "images/images.h"

#include "core/handles_win32.h"
#include "core/object_table.h"
#include "images/alpha.h"

#include <cstdlib>
#include <cstring>

namespace {

ObjectTable* imageTable = nullptr;

ObjectTable* Images() {
    // Tests and early callers may come before InitImages; the table is the same either way.
    if (!imageTable) imageTable = NewObjectTable(sizeof(ImageObject), 16, ReleaseImage);
    return imageTable;
}

// Reads little-endian fields of data whose length may be unknown (then every read is trusted).
class ImageBytes {
  public:
    ImageBytes(const void* data, std::size_t size)
        : bytes(static_cast<const unsigned char*>(data)), size(size) {}

    bool Has(std::size_t offset, std::size_t length) const {
        return length <= size && offset <= size - length;
    }
    const unsigned char* At(std::size_t offset) const { return bytes + offset; }
    unsigned Byte(std::size_t offset) const { return bytes[offset]; }
    unsigned Word(std::size_t offset) const { return bytes[offset] | bytes[offset + 1] << 8; }
    std::uint32_t Long(std::size_t offset) const {
        return static_cast<std::uint32_t>(Word(offset)) | static_cast<std::uint32_t>(Word(offset + 2)) << 16;
    }
    std::size_t Size() const { return size; }

  private:
    const unsigned char* bytes;
    std::size_t size;
};

constexpr std::size_t IconDirectorySize = 6;
constexpr std::size_t IconEntrySize = 16;
constexpr std::size_t InfoHeaderSize = 40;

// Without a wanted side, pictures of the same size as the first one compete on depth and the
// first of equals wins. With one, the nearest side wins, a larger picture before a smaller one
// equally far (shrinking loses less than stretching), and then the deeper one.
int ChooseIconPicture(const ImageBytes& data, unsigned count, int wanted) {
    auto entry = [](unsigned i) { return IconDirectorySize + IconEntrySize * i; };
    auto side = [&](unsigned i) { return data.Byte(entry(i)) ? static_cast<int>(data.Byte(entry(i))) : 256; };
    auto distance = [&](unsigned i) {
        int d = side(i) - wanted;
        return d >= 0 ? 2 * d : -2 * d + 1;
    };
    int best = 0;
    unsigned width = data.Byte(entry(0)), height = data.Byte(entry(0) + 1);
    unsigned bestBits = data.Word(entry(0) + 6);
    for (unsigned i = 1; i < count; ++i) {
        std::size_t at = entry(i);
        unsigned bits = data.Word(at + 6);
        bool better;
        if (wanted > 0) {
            int now = distance(i), before = distance(static_cast<unsigned>(best));
            better = now < before || (now == before && bits > bestBits);
        } else {
            better = data.Byte(at) == width && data.Byte(at + 1) == height && bits > bestBits;
        }
        if (better) {
            best = static_cast<int>(i);
            bestBits = bits;
        }
    }
    return best;
}

HICON IconFromData(const ImageBytes& data, int side) {
    if (!data.Has(0, IconDirectorySize)) return nullptr;
    if (data.Word(0) != 0 || data.Word(2) != 1) return nullptr;
    unsigned count = data.Word(4);
    if (count == 0 || !data.Has(IconDirectorySize, IconEntrySize * count)) return nullptr;

    std::size_t entry = IconDirectorySize + IconEntrySize * ChooseIconPicture(data, count, side);
    unsigned bits = data.Word(entry + 6);
    std::size_t pictureSize = data.Long(entry + 8);
    std::size_t pictureOffset = data.Long(entry + 12);
    if (pictureSize < InfoHeaderSize || !data.Has(pictureOffset, pictureSize)) return nullptr;

    UniqueGlobalMemory copy(GlobalAlloc(0, pictureSize));
    if (!copy) return nullptr;
    auto* picture = static_cast<unsigned char*>(copy.get()); // GlobalAlloc(0) gives fixed memory
    std::memcpy(picture, data.At(pictureOffset), pictureSize);

    int desiredWidth, desiredHeight;
    static const unsigned char pngSignature[] = {0x89, 'P', 'N', 'G'};
    if (std::memcmp(picture, pngSignature, sizeof pngSignature) == 0) {
        // A compressed picture has no information header; its size stands in the directory.
        desiredWidth = data.Byte(entry) ? static_cast<int>(data.Byte(entry)) : 256;
        desiredHeight = data.Byte(entry + 1) ? static_cast<int>(data.Byte(entry + 1)) : 256;
    } else {
        ImageBytes header(picture, pictureSize);
        desiredWidth = static_cast<std::int32_t>(header.Long(4));
        desiredHeight = static_cast<std::int32_t>(header.Long(8)) / 2;
    }

    auto pictureBytes = static_cast<DWORD>(pictureSize);
    HICON icon =
        CreateIconFromResourceEx(picture, pictureBytes, TRUE, 0x30000, desiredWidth, desiredHeight, 0);
    if (!icon && bits != 16) icon = CreateIconFromResource(picture, pictureBytes, TRUE, 0x30000);
    return icon;
}

bool ReadIconSize(HICON icon, ImageObject* image) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    // The icon's bitmaps are copies made for the caller.
    UniqueBitmap colourBits(info.hbmColor), maskBits(info.hbmMask);
    BITMAP colour{};
    bool ok;
    if (info.hbmColor) {
        ok = GetObjectW(info.hbmColor, sizeof colour, &colour) != 0;
    } else {
        // A monochrome icon keeps picture and mask stacked in its mask bitmap.
        ok = GetObjectW(info.hbmMask, sizeof colour, &colour) != 0;
        colour.bmHeight /= 2;
    }
    if (!ok) return false;
    image->width = static_cast<std::uint16_t>(colour.bmWidth);
    image->height = static_cast<std::uint16_t>(colour.bmHeight);
    image->depth = static_cast<std::uint8_t>(colour.bmBitsPixel * colour.bmPlanes);
    return true;
}

// Plenty for any picture a program carries, and small enough that no size arithmetic overflows.
constexpr int MaxBitmapSide = 32768;

void MakeOpaqueWhenAlphaUnused(void* bits, int width, int height) {
    auto* pixels = static_cast<unsigned char*>(bits);
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[i * 4 + 3] != 0) return;
    for (std::size_t i = 0; i < count; ++i)
        pixels[i * 4 + 3] = 255;
}

HBITMAP BitmapFromData(const ImageBytes& data) {
    if (!data.Has(0, 14 + InfoHeaderSize)) return nullptr;
    std::size_t pixelOffset = data.Long(10);
    std::size_t headerSize = data.Long(14);
    auto width = static_cast<std::int32_t>(data.Long(18));
    auto height = static_cast<std::int32_t>(data.Long(22));
    unsigned sourceDepth = data.Word(28);
    unsigned compression = data.Long(30);
    if (headerSize < InfoHeaderSize || !data.Has(14, headerSize)) return nullptr;
    if (width <= 0 || height == 0 || width > MaxBitmapSide || height > MaxBitmapSide ||
        height < -MaxBitmapSide)
        return nullptr;
    int rows = std::abs(height);
    if (data.Size() != UnknownImageSize) {
        // Uncompressed pixels must all be there; compressed ones are bounded by the decoder.
        std::size_t need = compression == BI_RGB || compression == BI_BITFIELDS
                               ? (static_cast<std::size_t>(width) * sourceDepth + 31) / 32 * 4 * rows
                               : 1;
        if (!data.Has(pixelOffset, need)) return nullptr;
    }
    int depth = sourceDepth < 24 ? 24 : static_cast<int>(sourceDepth);
    if (depth != 24 && depth != 32) return nullptr;

    BITMAPINFO info = Describe32(width, height);
    info.bmiHeader.biBitCount = static_cast<WORD>(depth);
    void* bits = nullptr;
    UniqueBitmap bitmap;
    {
        UniqueMemoryDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        if (!display) return nullptr;
        bitmap.reset(CreateDIBSection(display.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    if (!bitmap) return nullptr;

    UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    auto* sourceInfo = reinterpret_cast<const BITMAPINFO*>(data.At(14));
    if (!memory ||
        SetDIBits(memory.get(), bitmap.get(), 0, rows, data.At(pixelOffset), sourceInfo, DIB_RGB_COLORS) == 0)
        return nullptr;
    GdiFlush();
    if (depth == 32) MakeOpaqueWhenAlphaUnused(bits, width, rows);
    return bitmap.release();
}

bool ReadBitmapSize(HBITMAP bitmap, ImageObject* image) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info)) return false;
    image->width = static_cast<std::uint16_t>(info.bmWidth);
    image->height = static_cast<std::uint16_t>(std::abs(info.bmHeight));
    image->depth = static_cast<std::uint8_t>(info.bmBitsPixel);
    return true;
}

} // namespace

void InitImages() {
    Images();
}

Number ImageFromMemory(Number number, const void* data, std::size_t size, int side) {
    auto* image = AllocateRecord<ImageObject>(Images(), number);
    if (!image) return 0;
    ImageObject made{};
    UniquePicture picture;
    if (data) {
        ImageBytes bytes(data, size);
        if (bytes.Has(0, 2) && bytes.Byte(0) == 'B' && bytes.Byte(1) == 'M') {
            picture.reset(BitmapFromData(bytes));
            if (picture && !ReadBitmapSize(static_cast<HBITMAP>(picture.get()), &made)) picture.reset();
        } else {
            picture.reset(IconFromData(bytes, side));
            if (picture && !ReadIconSize(static_cast<HICON>(picture.get()), &made)) picture.reset();
        }
    }
    made.handle = picture.release();
    if (!made.handle) {
        // A dynamic record that never got a picture would otherwise stay in the list for good.
        if (number == AnyNumber) ReleaseObject(Images(), DynamicHandle(image));
        return 0;
    }
    *image = made;
    return number == AnyNumber ? DynamicHandle(image) : reinterpret_cast<Number>(made.handle);
}

const ImageObject* FindImage(Number number) {
    return FindRecord<ImageObject>(imageTable, number);
}

HANDLE ImageHandle(Number number) {
    const ImageObject* image = FindImage(number);
    return image ? image->handle : nullptr;
}

void ReleaseImage(Number number) {
    auto* image = FindRecord<ImageObject>(imageTable, number);
    if (!image) return;
    UniquePicture gone(image->handle);
    ReleaseObject(imageTable, number);
}

void ReleaseAllImages() {
    FreeAllObjects(imageTable);
}
