// Numbered images made from icon (ICO) or bitmap (BMP) file data held in memory. An image's
// handle is an HICON for icon data and a DIB section (HBITMAP) for bitmap data; tell them apart
// with GetObjectType (OBJ_BITMAP means bitmap, anything else an icon).
#pragma once

#include "core/types.h"
#include "images/alpha.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct ImageObject {
    HANDLE handle; // 0: free slot
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t depth; // bits per pixel
};

// Means "the data's own headers say how long it is".
constexpr std::size_t UnknownImageSize = static_cast<std::size_t>(-1);

// Creates the image table (grow step 16).
void InitImages();

// Number 0 and up: the new image's handle, or 0. AnyNumber: the handle of a new dynamic object
// by which the image is then addressed, or 0. Reusing a number frees the image that held it;
// after a failure the number names no image. When the data's size is known, pass it: nothing
// is read beyond it and data that claims more is refused. Icon data with pictures of several
// sizes gives the picture nearest to side pixels (0: the first picture), never a stretched one.
Number ImageFromMemory(Number number, const void* data, std::size_t size = UnknownImageSize, int side = 0);

// The picture's HICON or HBITMAP, or null when the number names no image.
HANDLE ImageHandle(Number number);
// The image's record (handle, size, depth), or null.
const ImageObject* FindImage(Number number);

// -1 and free numbers are ignored.
void ReleaseImage(Number number);
void ReleaseAllImages();
