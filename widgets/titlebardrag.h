#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a frameless window by its own title bar: a press inside the title
// bar's width and height starts a drag, moves with a button held move the
// window, and a double-click there maximises or restores it. Watches the
// window's mouse events as an event filter and lets them through.
class TitleBarDrag : public QObject
{
    Q_OBJECT

public:
    // Installs itself on `window`, which owns it.
    TitleBarDrag(QWidget* window, QWidget* title_bar);

signals:
    // The window was moved by a drag.
    void windowDragged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isInTitleBar(const QPoint& position) const;

    QWidget* window;
    QWidget* title_bar;
    QPoint drag_origin;
    bool drag_active = false;
};
