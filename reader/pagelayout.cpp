#include "reader/pagelayout.h"

#include <QRect>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace lf::PageLayout {

const QList<ZoomEntry>& enlargeEntries()
{
    static const QList<ZoomEntry> entries { { "100%", 1.0 }, { "125%", 1.25 }, { "150%", 1.5 }, { "175%", 1.75 },
        { "200%", 2.0 } };
    return entries;
}

const QList<ZoomEntry>& reduceEntries()
{
    static const QList<ZoomEntry> entries { { "100%", 1.0 }, { "75%", 0.75 }, { "50%", 0.5 }, { "25%", 0.25 } };
    return entries;
}

Area availableArea(QSize frame, int frameLine, int spacerW, int buttonMinW, int topMargin, int scrollBarW, bool twoPage)
{
    Area area;
    area.availW = frame.width() - 2 * (frameLine + spacerW + buttonMinW);
    area.availH = frame.height() - 2 * (frameLine + topMargin);
    area.pageW = (area.availW - scrollBarW) / (twoPage ? 2 : 1);
    return area;
}

double fitScale(QSize contents, int pageW, int availH, bool fitWidth)
{
    // An empty measurement is a page not laid out yet, never a division by zero.
    if (contents.width() <= 0 || contents.height() <= 0)
        return kLaidOutLimit + 1.0;
    double scale = double(pageW) / contents.width();
    if (!fitWidth)
        scale = std::min(scale, double(availH) / contents.height());
    // The small epsilon keeps exact quotients such as 0.62 from dropping to 0.61.
    return std::floor(scale * 100.0 + 1e-9) / 100.0;
}

QSize scaledPageSize(QSize contents, double fit, double zoom)
{
    const int w = int(std::lround(contents.width() * fit));
    const int h = int(std::lround(contents.height() * fit));
    return QSize(int(std::lround(w * zoom)), int(std::lround(h * zoom)));
}

QSize fixedScrollAreaSize(QSize content, int scrollBarW, int availW, int availH)
{
    int width = content.width();
    if (content.width() + scrollBarW >= availW)
        width = availW;
    else if (content.height() > availH)
        width += scrollBarW;
    const int height = std::min(content.height(), availH);
    return QSize(width + kScrollAreaFrame, height + kScrollAreaFrame);
}

QSize reflowScrollAreaSize(QSize view, int scrollBarW, int availH)
{
    const int width = view.width() + (availH < view.height() ? scrollBarW : 0);
    return QSize(width + kScrollAreaFrame, availH + kScrollAreaFrame);
}

namespace {

// A length in CSS pixels: a number, optionally followed by "px". Other units
// and percentages declare no page size.
int pixels(QString length)
{
    length = length.trimmed();
    if (length.endsWith(QLatin1String("px"), Qt::CaseInsensitive))
        length.chop(2);
    bool ok = false;
    const double value = length.toDouble(&ok);
    return ok && value >= 1.0 && value < 100000.0 ? int(std::lround(value)) : 0;
}

} // namespace

QSize viewportMetaSize(const QString& content, QSize displayArea)
{
    int width = 0;
    int height = 0;
    // Entries are "key=value", apart by commas, semicolons or spaces.
    static const QRegularExpression entry(QStringLiteral("([A-Za-z-]+)\\s*=\\s*([^,;\\s]+)"));
    QRegularExpressionMatchIterator it = entry.globalMatch(content);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString key = match.captured(1).toLower();
        const QString value = match.captured(2).toLower();
        if (key == QLatin1String("width") && width == 0)
            width = value == QLatin1String("device-width") ? displayArea.width() : pixels(value);
        else if (key == QLatin1String("height") && height == 0)
            height = value == QLatin1String("device-height") ? displayArea.height() : pixels(value);
    }
    return width > 0 && height > 0 ? QSize(width, height) : QSize();
}

QSize undeclaredPageSize(QSize measured, QSize measuringViewport, QSize pageArea)
{
    if (measured.width() > measuringViewport.width() && measured.height() > measuringViewport.height())
        return measured;
    return pageArea;
}

QSize svgDeclaredSize(const QString& width, const QString& height, const QString& viewBox)
{
    const QSize declared(pixels(width), pixels(height));
    if (declared.width() > 0 && declared.height() > 0)
        return declared;
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList box = viewBox.trimmed().split(separators, Qt::SkipEmptyParts);
    if (box.size() != 4)
        return {};
    const QSize boxSize(pixels(box.at(2)), pixels(box.at(3)));
    return boxSize.width() > 0 && boxSize.height() > 0 ? boxSize : QSize();
}

QPair<QPoint, QPoint> ribbonPositions(const QRect& frame, QSize scrollArea, int ribbonW, int leftPageW, int rightPageW,
    int lineW, int scrolled, bool twoPage)
{
    const int y = frame.y() + (frame.height() - scrollArea.height()) / 2 - kRibbonRise;
    const int areaX = frame.x() + (frame.width() - scrollArea.width()) / 2;
    if (!twoPage) {
        const QPoint left(areaX + leftPageW - ribbonW - kRibbonInset, y);
        return { left, left };
    }
    const QPoint left(areaX + leftPageW - ribbonW - kRibbonInset - scrolled, y);
    return { left, QPoint(left.x() + rightPageW + lineW, y) };
}

} // namespace lf::PageLayout
