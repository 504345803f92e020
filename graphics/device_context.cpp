// Device contexts: the drawing operations the game uses, over a device bitmap or a widget.
#include "graphics/device_context.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include "graphics/device_bitmap.h"

namespace {

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QColor PenColour(TStockPen pen) {
    return pen == TStockPen::White ? Qt::white : Qt::black;
}
QColor BrushColour(TStockBrush brush) {
    return brush == TStockBrush::White ? Qt::white : Qt::black;
}

}  // namespace

QColor ToQColor(TColor colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

TColor FromQRgb(unsigned int rgb) {
    return static_cast<TColor>(qRed(rgb)) | static_cast<TColor>(qGreen(rgb)) << 8 |
           static_cast<TColor>(qBlue(rgb)) << 16;
}

TDeviceContext::TDeviceContext() : memory_(true), device_(nullptr) {}

TDeviceContext::TDeviceContext(QPaintDevice* device) : memory_(false), device_(device) {}

TDeviceContext::~TDeviceContext() {
    EndPainting();
}

TDeviceBitmap* TDeviceContext::SelectBitmap(TDeviceBitmap* bitmap) {
    if (!memory_)
        return nullptr;
    EndPainting();
    TDeviceBitmap* previous = bitmap_;
    bitmap_ = bitmap;
    return previous;
}

QPainter* TDeviceContext::Painter() {
    if (painter_)
        return painter_.get();
    QPaintDevice* target = device_;
    if (memory_)
        target = bitmap_ != nullptr && !bitmap_->Image().isNull() ? &bitmap_->Image() : nullptr;
    if (target == nullptr)
        return nullptr;
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(target))
        return nullptr;
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::TextAntialiasing, false);
    painter_ = std::move(painter);
    return painter_.get();
}

void TDeviceContext::EndPainting() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void TDeviceContext::FillRect(int left, int top, int right, int bottom, TColor colour) {
    if (right <= left || bottom <= top)
        return;
    if (QPainter* p = Painter())
        p->fillRect(QRect(left, top, right - left, bottom - top), ToQColor(colour));
}

TColor TDeviceContext::SetTextColor(TColor colour) {
    const TColor previous = textColor_;
    textColor_ = colour;
    return previous;
}

TColor TDeviceContext::SetBkColor(TColor colour) {
    const TColor previous = bkColor_;
    bkColor_ = colour;
    return previous;
}

bool TDeviceContext::SetBkModeTransparent(bool transparent) {
    const bool previous = transparent_;
    transparent_ = transparent;
    return previous;
}

void TDeviceContext::SelectFont(const QFont& font) {
    font_ = font;
    // Letters are smoothed only for a font that asks for it, as a font's quality does
    // on the original platform; any other font draws whole pixels of the text colour.
    if (!(font.styleStrategy() & QFont::PreferAntialias))
        font_.setStyleStrategy(QFont::NoAntialias);
}

TTextExtent TDeviceContext::TextExtent(std::string_view text) const {
    QPaintDevice* metricsDevice = device_;
    if (memory_)
        metricsDevice = bitmap_ != nullptr && !bitmap_->Image().isNull() ? &bitmap_->Image() : nullptr;
    const QFontMetrics metrics =
        metricsDevice != nullptr ? QFontMetrics(font_, metricsDevice) : QFontMetrics(font_);
    return {metrics.horizontalAdvance(Latin1(text)), metrics.height()};
}

void TDeviceContext::TextOut(int x, int y, std::string_view text) {
    QPainter* p = Painter();
    if (p == nullptr)
        return;
    const QString s = Latin1(text);
    p->setFont(font_);
    p->setRenderHint(QPainter::TextAntialiasing, (font_.styleStrategy() & QFont::PreferAntialias) != 0);
    const QFontMetrics metrics = p->fontMetrics();
    if (!transparent_)
        p->fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), ToQColor(bkColor_));
    p->setPen(ToQColor(textColor_));
    p->drawText(QPoint(x, y + metrics.ascent()), s);
}

void TDeviceContext::SelectStockPen(TStockPen pen) {
    pen_ = pen;
}

void TDeviceContext::SelectStockBrush(TStockBrush brush) {
    brush_ = brush;
}

void TDeviceContext::MoveTo(int x, int y) {
    currentX_ = x;
    currentY_ = y;
}

void TDeviceContext::LineTo(int x, int y) {
    if (pen_ != TStockPen::Null) {
        if (QPainter* p = Painter()) {
            p->setPen(QPen(PenColour(pen_), 1));
            if (x == currentX_ && y == currentY_)
                p->drawPoint(x, y);
            else
                p->drawLine(QPoint(currentX_, currentY_), QPoint(x, y));
        }
    }
    MoveTo(x, y);
}

void TDeviceContext::Rectangle(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top)
        return;
    QPainter* p = Painter();
    if (p == nullptr)
        return;
    if (brush_ != TStockBrush::Null)
        p->fillRect(QRect(left, top, right - left, bottom - top), BrushColour(brush_));
    if (pen_ != TStockPen::Null) {
        p->setPen(QPen(PenColour(pen_), 1));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    }
}

bool TDeviceContext::BitBlt(int x, int y, int width, int height, const TDeviceContext& source, int sourceX,
                            int sourceY, std::uint32_t rasterOp) {
    QPainter::CompositionMode mode = QPainter::CompositionMode_Source;
    switch (rasterOp) {
    case rop::kSrcCopy: mode = QPainter::CompositionMode_Source; break;
    case rop::kSrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case rop::kSrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case rop::kSrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case rop::kNotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    case rop::kBlackness:
    case rop::kWhiteness:
        FillRect(x, y, x + width, y + height, rasterOp == rop::kWhiteness ? kWhite : kBlack);
        return true;
    default: return false;
    }
    if (width <= 0 || height <= 0 || source.bitmap_ == nullptr)
        return true;
    const QImage& sourceImage = source.bitmap_->Image();
    const QRect wanted(sourceX, sourceY, width, height);
    const QRect taken = wanted & sourceImage.rect();
    if (taken.isEmpty())
        return true;
    QPainter* p = Painter();
    if (p == nullptr)
        return true;
    const QPoint at(x + taken.x() - sourceX, y + taken.y() - sourceY);
    p->setCompositionMode(mode);
    if (memory_ && source.bitmap_ == bitmap_)
        p->drawImage(at, sourceImage.copy(taken));  // overlapping copy within one bitmap
    else
        p->drawImage(at, sourceImage, taken);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}
