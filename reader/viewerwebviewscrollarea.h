#pragma once

#include <QScrollArea>

// The scroll area that holds the reader's page views; it scrolls the page
// column when a view passes the wheel on.
class ViewerWebViewScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit ViewerWebViewScrollArea(QWidget* parent = nullptr);

public slots:
    void catchWheelEvent(QWheelEvent* event);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
