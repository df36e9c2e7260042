#pragma once

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The arithmetic of the reader's page layout, free of widgets: fit scales,
// zoomed page sizes, the scroll area around them and the bookmark ribbons.
namespace lf::PageLayout {

// Fit scales above this mean the page was not laid out yet (it measured no
// larger than its tiny measuring viewport).
inline constexpr double kLaidOutLimit = 10.0;
// The scroll area's frame adds this much to each dimension.
inline constexpr int kScrollAreaFrame = 2;
// The ribbons hang this far above the page area and this far in from the
// page's right-hand edge.
inline constexpr int kRibbonRise = 12;
inline constexpr int kRibbonInset = 5;

// The attribute the reader puts on the root of a page that holds nothing but
// one picture; the page style sheet then fits the picture into the view.
inline const QString kLoneImageMark = QStringLiteral("data-lumenfolio-lone-image");

// The zoom menus set an absolute factor; they never step from the current one.
struct ZoomEntry
{
    const char* text;
    double factor;
};
const QList<ZoomEntry>& enlargeEntries();
const QList<ZoomEntry>& reduceEntries();

struct Area
{
    int availW = 0;
    int availH = 0;
    int pageW = 0; // width of one page: half the area in two-page view
};

// The page area inside `viewer_frame`: less, on each side, the scroll area's
// frame line, the spacer beside the page button and the button itself.
Area availableArea(
    QSize frame, int frameLine, int spacerW, int buttonMinW, int topMargin, int scrollBarW, bool twoPage);

// The scale that fits a page of `contents` into the page area (or its width
// only), rounded down to a multiple of 0.01. A page that measured empty has no
// scale yet: the result is then above kLaidOutLimit.
double fitScale(QSize contents, int pageW, int availH, bool fitWidth);
inline bool isLaidOut(double scale)
{
    return scale <= kLaidOutLimit;
}

// A page of `contents` at the fit scale, then at the user zoom, each step
// rounded to whole pixels.
QSize scaledPageSize(QSize contents, double fit, double zoom);

// The scroll area's size (frame included) around fixed-layout pages of
// `content` size, with `scrollBarW` the vertical scroll bar's width.
QSize fixedScrollAreaSize(QSize content, int scrollBarW, int availW, int availH);

// The scroll area around a reflowable document `view` pixels large: the
// view's width, plus the vertical scroll bar when the document is taller than
// the area, so the bar never covers the text nor makes the content scroll
// sideways.
QSize reflowScrollAreaSize(QSize view, int scrollBarW, int availH);

// The page size a fixed-layout XHTML document declares in the content of its
// viewport meta element ("width=600, height=800"): the first width and the
// first height in pixels count, "device-width" and "device-height" name the
// `displayArea`'s, and values in other units are passed over. Invalid when it
// declares no positive width and height.
QSize viewportMetaSize(const QString& content, QSize displayArea);
// The size to lay out a fixed page at that declares none and measured
// `measured` in a `measuringViewport`: a page that stayed at the measuring
// viewport's width or height measured nothing and takes the `pageArea`.
QSize undeclaredPageSize(QSize measured, QSize measuringViewport, QSize pageArea);
// The page size an SVG document declares: its root's width and height in
// pixels, else the size of its viewBox; invalid when it declares neither.
QSize svgDeclaredSize(const QString& width, const QString& height, const QString& viewBox);

// The views scroll their own content exactly when the whole page fits.
inline bool innerScrolling(int scrollAreaMaxH, int contentMaxH)
{
    return scrollAreaMaxH >= contentMaxH + kScrollAreaFrame;
}

// Positions of the left and right ribbons over a page area of `scrollArea`
// size centred in `frame`; `leftPageW`, `rightPageW` and `lineW` are the
// widths of the pages and the divider; `scrolled` the horizontal scroll.
QPair<QPoint, QPoint> ribbonPositions(const QRect& frame, QSize scrollArea, int ribbonW, int leftPageW, int rightPageW,
    int lineW, int scrolled, bool twoPage);

} // namespace lf::PageLayout
