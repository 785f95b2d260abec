#include "images/alpha.h"

#include "core/system_library_win32.h"

#include <cstring>
#include <vector>

namespace {

using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using DllGetVersionFunction = HRESULT(CALLBACK*)(void*);
using IsAppThemedFunction = BOOL(WINAPI*)();

UniqueModule alphaLibrary;
AlphaBlendFunction alphaBlend = nullptr;
int themedAlphaIcons = 0;

struct VersionRecord { // DLLVERSIONINFO, 20 bytes
    DWORD size, major, minor, build, platform;
};

bool ThemedCommonControlsDrawAlpha() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version; // 148 bytes
    if (GetVersionExW(&version)) {
        if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return false;
        if (version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
            (version.dwMajorVersion < 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion == 0)))
            return false;
    }
    DWORD controlsVersion = 0;
    if (UniqueModule controls = LoadSystemLibrary(L"COMCTL32.DLL")) {
        controlsVersion = 1; // a library without DllGetVersion predates the query
        if (auto getVersion = LookUpFunction<DllGetVersionFunction>(controls.get(), "DllGetVersion")) {
            VersionRecord record{};
            record.size = sizeof record;
            controlsVersion = getVersion(&record) >= 0 ? (record.major << 16) + (record.minor & 0xFFFF) : 0;
        }
    }
    if (controlsVersion < 0x60000) return false;
    bool themed = false;
    if (UniqueModule theme = LoadSystemLibrary(L"uxtheme.dll")) {
        if (auto isAppThemed = LookUpFunction<IsAppThemedFunction>(theme.get(), "IsAppThemed"))
            themed = isAppThemed() != 0;
    }
    return themed;
}

// The caller's DC when it gives one, else one of our own for the call.
struct MemoryContext {
    UniqueMemoryDc owned;
    HDC dc;
    explicit MemoryContext(HDC given)
        : owned(given ? nullptr : CreateCompatibleDC(nullptr)), dc(given ? given : owned.get()) {}
};

// The bitmap's pixels as 32-bit BGRA rows, top row first; empty when they cannot be read.
std::vector<unsigned char> Read32BitPixels(HBITMAP bitmap, int width, int height) {
    std::vector<unsigned char> pixels;
    if (width <= 0 || height <= 0) return pixels;
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    BITMAPINFO info = Describe32(width, -height);
    MemoryContext memory(nullptr);
    if (!memory.dc || GetDIBits(memory.dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height)
        pixels.clear();
    return pixels;
}

bool AnyAlpha(const std::vector<unsigned char>& pixels) {
    for (std::size_t i = 3; i < pixels.size(); i += 4)
        if (pixels[i]) return true;
    return false;
}

} // namespace

BITMAPINFO Describe32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void InitImageSupport() {
    if (!alphaLibrary) {
        alphaLibrary = LoadSystemLibrary(L"msimg32.dll");
        if (alphaLibrary) alphaBlend = LookUpFunction<AlphaBlendFunction>(alphaLibrary.get(), "AlphaBlend");
    }
    themedAlphaIcons = ThemedCommonControlsDrawAlpha() ? 1 : 0;
}

void EndImageSupport() {
    alphaBlend = nullptr;
    alphaLibrary.reset();
}

int AlphaBlendAvailable() {
    return alphaBlend ? 1 : 0;
}

int ThemedAlphaIcons() {
    return themedAlphaIcons;
}

int BitmapHasAlpha(HBITMAP bitmap) {
    if (!alphaBlend || GetObjectType(bitmap) != OBJ_BITMAP) return 0;
    DIBSECTION section{};
    int got = GetObjectW(bitmap, sizeof section, &section);
    if (got == static_cast<int>(sizeof section)) return section.dsBm.bmBitsPixel == 32 ? 1 : 0;
    if (got < static_cast<int>(sizeof(BITMAP)) || section.dsBm.bmBitsPixel != 32) return 0;
    return AnyAlpha(Read32BitPixels(bitmap, section.dsBm.bmWidth, section.dsBm.bmHeight)) ? 1 : 0;
}

int GreyLevel(int blue, int green, int red) {
    int g = ((blue + 6 * green + 3 * red) / 10) & 0xFF;
    // Pull the extremes towards the middle so that a greyed picture never looks active.
    if (g < 64)
        g = 64 + (g - 64) * 7 / 10;
    else if (g > 192)
        g = 192 + (g - 192) * 7 / 10;
    return g;
}

HBITMAP MakeAlphaCopy(HBITMAP bitmap, HDC dc, int disabled) {
    if (!alphaBlend) return nullptr;
    BITMAP source{};
    if (!GetObjectW(bitmap, sizeof source, &source) || source.bmWidth <= 0 || source.bmHeight == 0)
        return nullptr;
    int width = source.bmWidth;
    int height = source.bmHeight < 0 ? -source.bmHeight : source.bmHeight;

    MemoryContext memory(dc);
    if (!memory.dc) return nullptr;
    BITMAPINFO info = Describe32(width, height);
    void* bits = nullptr;
    UniqueBitmap copy(CreateDIBSection(memory.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy || GetDIBits(memory.dc, bitmap, 0, height, bits, &info, DIB_RGB_COLORS) != height) return nullptr;
    GdiFlush();
    auto* pixel = static_cast<unsigned char*>(bits);
    std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        unsigned alpha = pixel[3];
        if (disabled) {
            int g = GreyLevel(pixel[0], pixel[1], pixel[2]);
            auto value =
                static_cast<unsigned char>(static_cast<float>(alpha) / 255.0f * static_cast<float>(g));
            pixel[0] = pixel[1] = pixel[2] = value;
        } else if (alpha < 255) {
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<unsigned char>((pixel[c] * alpha) >> 8);
        }
    }
    return copy.release();
}

int FreeAlphaCopy(HBITMAP copy) {
    if (!alphaBlend || GetObjectType(copy) != OBJ_BITMAP) return 0;
    UniqueBitmap gone(copy);
    return 1;
}

int DrawAlphaBitmap(HDC target, int x, int y, int width, int height, HBITMAP bitmap, HDC source,
                    int constantAlpha) {
    if (!alphaBlend) return 0;
    if (width == 0 || height == 0) {
        BITMAP size{};
        if (!GetObjectW(bitmap, sizeof size, &size)) return 0;
        if (width == 0) width = size.bmWidth;
        if (height == 0) height = size.bmHeight < 0 ? -size.bmHeight : size.bmHeight;
    }
    UniqueMemoryDc own(source ? nullptr : CreateCompatibleDC(target));
    HDC from = source ? source : own.get();
    if (!from) return 0;
    ScopedSelect selected(from, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(constantAlpha), AC_SRC_ALPHA};
    return alphaBlend(target, x, y, width, height, from, 0, 0, width, height, blend) ? 1 : 0;
}

HBITMAP MakeMaskFromAlpha(HBITMAP bitmap) {
    BITMAP source{};
    if (!GetObjectW(bitmap, sizeof source, &source) || source.bmWidth <= 0 || source.bmHeight == 0)
        return nullptr;
    int width = source.bmWidth;
    int height = source.bmHeight < 0 ? -source.bmHeight : source.bmHeight;
    // Monochrome rows are word-aligned; a clear bit is black, which an image list draws opaque.
    std::size_t stride = (static_cast<std::size_t>(width) + 15) / 16 * 2;
    std::vector<unsigned char> maskBits(stride * height, 0);

    if (!themedAlphaIcons && source.bmBitsPixel == 32) {
        std::vector<unsigned char> pixels = Read32BitPixels(bitmap, width, height);
        std::vector<unsigned char> fromAlpha(maskBits.size(), 0);
        bool anyOpaque = false;
        for (int y = 0; y < height && !pixels.empty(); ++y) {
            for (int x = 0; x < width; ++x) {
                if (pixels[(static_cast<std::size_t>(y) * width + x) * 4 + 3])
                    anyOpaque = true;
                else
                    fromAlpha[y * stride + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
        if (anyOpaque) maskBits.swap(fromAlpha);
    }
    return CreateBitmap(width, height, 1, 1, maskBits.data());
}
