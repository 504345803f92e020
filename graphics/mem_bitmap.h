// TMemBitmap: an off-screen picture kept as a packed memory image and as a device bitmap.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/bitmap_info_header.h"
#include "graphics/device_bitmap.h"
#include "graphics/device_context.h"
#include "graphics/memory_block.h"

// An off-screen picture. Its pixels live twice: in a packed device-independent
// memory image (info header, colour table, `bitsGap` bytes, then the pixel rows;
// bottom-up rows of `stride` bytes for created pictures, whatever a file holds for
// loaded ones) held in a movable memory block, and in a device
// bitmap that ordinary drawing calls can draw into and that reaches a window in one
// block copy. SetPixel writes the memory image and UpdateBitmap carries it to the
// device bitmap; BeginDraw/EndDraw draw into the device bitmap and carry the result
// back. Colours are 0x00BBGGRR. Failures are reported through results and the
// `loaded` flag, never thrown. Copies are deep.
//
// The fields are public so that callers can read the picture's size and state; only
// the operations below change them.
class TMemBitmap {
public:
    // An empty picture: no memory image, no device bitmap, 0 x 0, 24 bits, `loaded` true.
    TMemBitmap();
    // A deep copy of `source` (see Assign).
    TMemBitmap(const TMemBitmap& source);
    // Deep copy (see Assign); returns this picture.
    TMemBitmap& operator=(const TMemBitmap& source);
    // Frees the memory image, the device bitmap and an open drawing context.
    virtual ~TMemBitmap();

    // Replaces the picture with a black one of width x height at 4, 8 or 24 bits per
    // pixel. Returns true when both the memory image and the device bitmap were made;
    // otherwise false with the picture empty and `loaded` false.
    bool Create(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
    // Replaces the picture with the BMP file `fileName` (see bmp_file_reader.h and
    // ParseImageLayout for what is shown); `format` 1 (JPEG) and 2 (GIF), and names
    // ending in .jpg, .jpeg or .gif, are refused without opening the file. `width` and
    // `height` are the picture's sides, also for a file stored top down. The outcome
    // is in `loaded`; an unreadable, malformed or truncated file, or one with a zero
    // side, leaves the picture empty with `loaded` false.
    void LoadFromFile(const char* fileName, std::int32_t format);
    // Pins the memory image and returns its first byte (null without one); counted.
    std::uint8_t* Lock();
    // Undoes one Lock; returns true while locks remain.
    bool Unlock();
    // Writes one pixel of the memory image (24, 16, 8 or 4 bits, rows stored either way
    // up); pixels outside the picture or the memory block, and pictures whose pixels
    // are run-length coded, are ignored. The device bitmap is unchanged.
    void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour);
    // Rebuilds the device bitmap from the memory image; `loaded` becomes false when it
    // cannot be made. Does nothing when `loaded` is false.
    void UpdateBitmap();
    // Opens a drawing context on the device bitmap and returns it (owned by this
    // picture until EndDraw), or null when one is already open. Without `reference` the
    // existing bitmap is drawn into; with one, a new bitmap compatible with it replaces
    // the old. Unless `keepContents`, the picture is first painted black. The context
    // stays usable until EndDraw whatever happens to the picture meanwhile: Release,
    // Create, LoadFromFile and Assign leave it drawing on the old device bitmap, which
    // EndDraw then discards; UpdateBitmap moves it onto the rebuilt one.
    TDeviceContext* BeginDraw(bool keepContents, TDeviceContext* reference);
    // Reads the device bitmap back into the memory image (unless the picture was
    // released or replaced since BeginDraw, or its pixels are run-length coded) and
    // closes the drawing context; nothing when none is open.
    void EndDraw();
    // Copies the whole device bitmap to (x, y) of `target` with raster operation
    // `rasterOp` (see rop); draws nothing when `loaded` is false or there is no bitmap.
    void Draw(TDeviceContext& target, std::int32_t x, std::int32_t y, std::uint32_t rasterOp) const;
    // Frees the memory image and the device bitmap and drops all locks; size, depth,
    // stride and `loaded` stay. An open drawing context stays open (see BeginDraw).
    void Release();
    // Makes this picture a deep copy of `source`: its whole memory block byte for byte,
    // its size, depth, stride, gap and lock count, and a device bitmap of its own. A
    // source without a memory image, or exhausted memory, leaves it empty with `loaded`
    // false. Assigning a picture to itself changes nothing.
    void Assign(const TMemBitmap& source);

    // Offset of the pixel rows in the memory image: header, colour table and gap.
    std::int64_t PixelAreaOffset() const;
    // Bytes of colour table that a picture of `bitsPerPixel` carries: 64, 1024 or 0.
    static std::int32_t ColourTableSize(std::int32_t bitsPerPixel);
    // Bytes per pixel row of the memory image, rounded up to a multiple of 4; 0 for
    // depths other than 4, 8, 16 and 24.
    static std::int32_t StrideFor(std::int32_t width, std::int32_t bitsPerPixel);

    std::unique_ptr<TDeviceBitmap> bitmap;
    std::unique_ptr<TMemoryBlock> memory;
    std::unique_ptr<TDeviceContext> drawDC;
    std::int32_t lockCount = 0;
    std::uint8_t* data = nullptr;
    std::int32_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 24;
    bool loaded = true;
    std::int32_t bitsGap = 0;

private:
    // How the memory image stores its rows, from its header: top row first, and
    // plain rows (not a run-length stream) that SetPixel can address.
    bool rowsTopDown_ = false;
    bool plainRows_ = true;
    // The device bitmap an open context draws on after Release took it from the
    // picture, and whether that happened; both cleared by EndDraw.
    std::unique_ptr<TDeviceBitmap> drawTarget_;
    bool drawDetached_ = false;
};

// Size of the info header at the start of every memory image made by Create.
inline constexpr std::int32_t kMemBitmapHeaderSize = static_cast<std::int32_t>(kInfoHeaderSize);
