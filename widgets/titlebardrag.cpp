#include "widgets/titlebardrag.h"

#include <QMouseEvent>
#include <QWidget>

TitleBarDrag::TitleBarDrag(QWidget* window, QWidget* title_bar)
    : QObject(window)
    , window(window)
    , title_bar(title_bar)
{
    window->installEventFilter(this);
}

bool TitleBarDrag::isInTitleBar(const QPoint& position) const
{
    return position.x() < title_bar->width() && position.y() < title_bar->height();
}

bool TitleBarDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (isInTitleBar(mouse->pos())) {
            drag_origin = mouse->pos();
            drag_active = true;
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (drag_active && mouse->buttons() != Qt::NoButton) {
            window->move(window->pos() + (mouse->pos() - drag_origin));
            emit windowDragged();
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        drag_active = false;
        break;
    case QEvent::MouseButtonDblClick:
        if (isInTitleBar(static_cast<QMouseEvent*>(event)->pos())) {
            if (window->isMaximized())
                window->showNormal();
            else
                window->showMaximized();
        }
        break;
    default:
        break;
    }
    return false;
}
