#include "reader/viewerwebviewscrollarea.h"

ViewerWebViewScrollArea::ViewerWebViewScrollArea(QWidget* parent)
    : QScrollArea(parent)
{ }

void ViewerWebViewScrollArea::catchWheelEvent(QWheelEvent* event)
{
    wheelEvent(event);
}

void ViewerWebViewScrollArea::wheelEvent(QWheelEvent* event)
{
    QScrollArea::wheelEvent(event);
}
