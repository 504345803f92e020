// Device contexts: the drawing operations the game uses, over a device bitmap or a widget.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include <QFont>

class QPaintDevice;
class QPainter;
class TDeviceBitmap;

// A colour as the game stores it: 0x00BBGGRR, red in the low byte.
using TColor = std::uint32_t;

inline constexpr TColor kBlack = 0x000000;
inline constexpr TColor kWhite = 0xFFFFFF;

// Raster operations of a block copy (source S, destination D).
namespace rop {
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;     // S
inline constexpr std::uint32_t kSrcPaint = 0x00EE0086;    // S or D
inline constexpr std::uint32_t kSrcAnd = 0x008800C6;      // S and D
inline constexpr std::uint32_t kSrcInvert = 0x00660046;   // S xor D
inline constexpr std::uint32_t kNotSrcCopy = 0x00330008;  // not S
inline constexpr std::uint32_t kBlackness = 0x00000042;   // black
inline constexpr std::uint32_t kWhiteness = 0x00FF0062;   // white
}  // namespace rop

// Stock pens and brushes.
enum class TStockPen { White, Black, Null };
enum class TStockBrush { White, Black, Null };

// Width and height of a text in pixels.
struct TTextExtent {
    int width = 0;
    int height = 0;
};

// A drawing target with the state of a classic device context: a pen with a current
// position, a brush, a text colour, a background mode and a font. A memory context
// draws into the device bitmap selected into it; a device context draws onto a paint
// device (a widget during its paint event, or an image). Rectangles are given by
// their left, top, right and bottom edges, right and bottom exclusive. Text is 8-bit
// (Latin-1) and is drawn without smoothing so that its colour stays exact. No
// operation throws; drawing with nothing to draw on does nothing.
class TDeviceContext {
public:
    // A memory context compatible with the screen, with no bitmap selected.
    TDeviceContext();
    // A context drawing onto `device`, which it does not own and which must outlive it.
    explicit TDeviceContext(QPaintDevice* device);
    ~TDeviceContext();
    TDeviceContext(const TDeviceContext&) = delete;
    TDeviceContext& operator=(const TDeviceContext&) = delete;

    // Selects `bitmap` (not owned, may be null) into a memory context and returns the
    // bitmap selected before; on a context over a paint device it does nothing and
    // returns null. A selected bitmap must outlive the context or be deselected first.
    TDeviceBitmap* SelectBitmap(TDeviceBitmap* bitmap);
    // The bitmap selected into a memory context, or null.
    TDeviceBitmap* SelectedBitmap() const { return bitmap_; }
    // True for a memory context.
    bool IsMemory() const { return memory_; }

    // Fills the rectangle with a solid colour; pen and brush are not used.
    void FillRect(int left, int top, int right, int bottom, TColor colour);
    // Sets the text colour and returns the previous one.
    TColor SetTextColor(TColor colour);
    // Sets the colour of the box behind text in opaque mode and returns the previous one.
    TColor SetBkColor(TColor colour);
    // Switches between transparent text (no box behind the letters) and opaque text;
    // returns whether it was transparent before. Contexts start opaque.
    bool SetBkModeTransparent(bool transparent);
    // Selects a copy of `font` for text: smoothed when the font prefers anti-aliasing
    // (QFont::PreferAntialias), in whole pixels of the text colour otherwise.
    void SelectFont(const QFont& font);
    // Size of `text` in the selected font.
    TTextExtent TextExtent(std::string_view text) const;
    // Writes `text` with its top-left corner at (x, y).
    void TextOut(int x, int y, std::string_view text);
    // Selects a stock pen (one pixel wide) or brush.
    void SelectStockPen(TStockPen pen);
    void SelectStockBrush(TStockBrush brush);
    // Moves the current position to (x, y) without drawing.
    void MoveTo(int x, int y);
    // Draws a line with the pen from the current position to (x, y), both ends
    // included, and makes (x, y) the current position.
    void LineTo(int x, int y);
    // Fills the rectangle with the brush and outlines its edge pixels with the pen.
    void Rectangle(int left, int top, int right, int bottom);
    // Copies width x height pixels from (sourceX, sourceY) of the bitmap selected into
    // `source` to (x, y) here, combining them by raster operation `rasterOp` (see rop).
    // Returns false, drawing nothing, for an unknown operation; a source without a
    // bitmap copies nothing. Pixels outside either side are clipped.
    bool BitBlt(int x, int y, int width, int height, const TDeviceContext& source, int sourceX, int sourceY,
                std::uint32_t rasterOp);

private:
    QPainter* Painter();
    void EndPainting();

    bool memory_;
    QPaintDevice* device_;
    TDeviceBitmap* bitmap_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    TStockPen pen_ = TStockPen::Black;
    TStockBrush brush_ = TStockBrush::White;
    TColor textColor_ = kBlack;
    TColor bkColor_ = kWhite;
    bool transparent_ = false;
    QFont font_;
    int currentX_ = 0;
    int currentY_ = 0;
};

// A colour of the game as a Qt colour, and back.
QColor ToQColor(TColor colour);
TColor FromQRgb(unsigned int rgb);
