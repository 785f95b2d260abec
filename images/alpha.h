// What the platform can do with alpha pictures, decided once at start-up, and the drawing,
// greying and mask operations that the controls use for them. Every operation gives 0 and
// draws nothing while AlphaBlend is unavailable, so callers fall back to plain drawing.
#pragma once

#include <windows.h>

// Loads "msimg32.dll" for AlphaBlend and decides ThemedAlphaIcons.
void InitImageSupport();
// Releases "msimg32.dll"; afterwards the alpha operations behave as on a system without it.
void EndImageSupport();

// 1 while the AlphaBlend entry is loaded.
int AlphaBlendAvailable();
// 1 when the themed common controls draw alpha pictures themselves, so masks need no alpha.
int ThemedAlphaIcons();

// 1 for a 32-bit DIB section, or another 32-bit bitmap with any non-zero alpha byte.
int BitmapHasAlpha(HBITMAP bitmap);

// A bottom-up 32-bit copy ready for AlphaBlend: colours premultiplied, or greyed when disabled
// is non-zero. dc may be null. Free it with FreeAlphaCopy.
HBITMAP MakeAlphaCopy(HBITMAP bitmap, HDC dc, int disabled);
int FreeAlphaCopy(HBITMAP copy);

// Draws bitmap (premultiplied 32-bit) at (x, y); a width or height of 0 takes the bitmap's own.
// source may be null; when given, the bitmap is selected into it and the old one restored.
int DrawAlphaBitmap(HDC target, int x, int y, int width, int height, HBITMAP bitmap, HDC source,
                    int constantAlpha);

// A 1-bit mask for image lists: black (opaque) where the picture has alpha, white elsewhere;
// all black when alpha does not decide (themed platform, not 32-bit, no alpha at all).
HBITMAP MakeMaskFromAlpha(HBITMAP bitmap);

// The header of a bottom-up (height > 0) or top-down (height < 0) 32-bit uncompressed bitmap.
BITMAPINFO Describe32(int width, int height);

// The grey that a disabled picture's pixel of this colour becomes at full opacity.
int GreyLevel(int blue, int green, int red);
