#pragma once

#include "reader/pagelayout.h"

#include <QSize>

class QWebView;
class QWidget;

namespace Ui {
class ViewerViewWindow;
}

// The reader window's layout pass over the widgets of its form: sizes the
// page views, the scroll area's content and the scroll area for the shown
// page or spread, and places the bookmark ribbons over the pages.
class ReaderPageLayout
{
public:
    explicit ReaderPageLayout(Ui::ViewerViewWindow* ui);

    struct Settings
    {
        bool fixedLayout = false; // the left (or only) page is a fixed page
        bool rightFixed = false; // in two-page view, the right page is one
        bool twoPage = false;
        bool fitWidth = false;
        double zoom = 1.0;
    };
    // Scales found for the views; a view whose page had not been laid out yet
    // is named in `reload*` and keeps its previous size.
    struct Result
    {
        double leftFit = 1.0;
        double rightFit = 1.0;
        bool reloadLeft = false;
        bool reloadRight = false;
        bool innerScrolling = true;
    };
    // `retried*`: the view was already reloaded once for this page; it is then
    // laid out at whatever it measures rather than reloaded again.
    Result run(const Settings& settings, double leftFit, bool retriedLeft, bool retriedRight);

    // Sizes the page area for a page of the area's width before any page has
    // been laid out, so the window's first frames show it at its size.
    void layoutEmptyPage();

    void placeRibbons(bool twoPage);

private:
    struct Fitted
    {
        double scale = 1.0;
        bool laidOut = true;
    };
    lf::PageLayout::Area availableArea(bool twoPage) const;
    static bool isBlank(const QWebView* view);
    static void takeSize(QWidget* blank, const QWidget* page);
    Fitted fitFixedPage(
        QWebView* view, QSize measuringViewport, int pageW, int availH, const Settings& settings, bool retried);
    static QSize declaredPageSize(QWebView* view, QSize displayArea);
    // A reflowable page beside another in a spread: laid out at the size of
    // its half, it scrolls inside itself.
    static void layoutHalfPage(QWebView* view, const Settings& settings, int pageW, int availH);
    // A page holding nothing but one picture (a cover) is marked so that the
    // page style sheet fits the picture into the view.
    static bool fitLoneImage(QWebView* view);
    void layoutReflowable(const Settings& settings, int pageW, int availH);
    void layoutFixedContent(bool twoPage, int availW, int availH);
    int scrollBarWidth() const;

    Ui::ViewerViewWindow* ui;
};
