#include "graphics/client_area.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "graphics/device_context.h"
#include "graphics/key_codes.h"

TClientArea::TClientArea(int width, int height, QWidget* parent) : QWidget(parent) {
    setFixedSize(width, height);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TClientArea::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QWidget::event(event);
}

void TClientArea::keyPressEvent(QKeyEvent* event) {
    const uint16_t key = VirtualKeyFromQt(event->key(), event->nativeScanCode());
    if (key != keys::kNone && onKeyDown)
        onKeyDown(key, event->modifiers());
    event->accept();
}

void TClientArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onLeftClick) {
        const QPoint at = event->position().toPoint();
        onLeftClick(at.x(), at.y());
    }
    event->accept();
}

void TClientArea::paintEvent(QPaintEvent*) {
    TDeviceContext canvas(this);
    if (onPaint)
        onPaint(canvas);
}
