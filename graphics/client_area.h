// The window's client area: forwards key presses as virtual key codes and paints on request.
#pragma once

#include <cstdint>
#include <functional>

#include <QWidget>

class TDeviceContext;

class TClientArea : public QWidget {
    Q_OBJECT
public:
    // Receives the virtual key code and the modifier state of every key press.
    std::function<void(uint16_t key, Qt::KeyboardModifiers shift)> onKeyDown;
    // Receives the position, in pixels of the client area, of every press of the left
    // mouse button.
    std::function<void(int x, int y)> onLeftClick;
    // Repaints the whole client area through a device context over the widget.
    std::function<void(TDeviceContext& canvas)> onPaint;

    TClientArea(int width, int height, QWidget* parent = nullptr);

protected:
    // Takes Tab and the arrows before focus navigation can, so that every key reaches onKeyDown.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
