#include "library/booktile.h"

#include "base/displaytext.h"
#include "library/bookcover.h"
#include "library/bookdirections.h"
#include "library/bookinfo.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>

namespace {
// Titles run to a few hundred characters at most; a hostile book's longer
// text is cut so the tooltip still fits on the screen.
constexpr int kMaxShownLength = 500;

QString shown(const QString& text)
{
    if (text.size() <= kMaxShownLength)
        return text.toHtmlEscaped();
    const int cut = text.at(kMaxShownLength - 1).isHighSurrogate() ? kMaxShownLength - 1 : kMaxShownLength;
    return text.left(cut).toHtmlEscaped() + QStringLiteral("&hellip;");
}
} // namespace

QString lf::bookToolTip(const BookInfo& book)
{
    // Kept as written: an ideographic space in a title stays one.
    // Each text runs in its own direction and cannot reorder the other.
    const BookDirections directions = BookDirections::of(book);
    QString tip = QStringLiteral("<p style=\"white-space:pre-wrap\"><b>%1</b>")
                      .arg(lf::isolated(shown(book.bookName()), directions.title));
    if (!book.author().isEmpty())
        tip += QStringLiteral("<br/>%1").arg(lf::isolated(shown(book.author()), directions.author));
    return tip + QStringLiteral("</p>");
}

void lf::addTileShadow(QWidget* widget, qreal blurRadius, qreal offset)
{
    auto* shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setColor(QColor(63, 63, 63, 100));
    shadow->setBlurRadius(blurRadius);
    shadow->setOffset(offset, offset);
    widget->setGraphicsEffect(shadow);
}

void lf::showBookOnTile(QWidget* tile, QLabel* cover, const BookInfo& book)
{
    tile->setToolTip(bookToolTip(book));
    BookCover::showWhenPainted(cover, book);
}
