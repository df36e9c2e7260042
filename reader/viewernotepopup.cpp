#include "reader/viewernotepopup.h"

#include "reader/bookpagesettings.h"
#include "reader/pagescript.h"
#include "ui_viewernotepopup.h"

#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QScreen>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <algorithm>

namespace {

const QString kOpsNamespace = QStringLiteral("http://www.idpf.org/2007/ops");
const int kWidth = 420;
const int kSmallest = 40; // the least width and height of the note's view
// Between the anchor and the pop-up's edge, and between the pop-up and the
// window's edge.
const int kGap = 12;

// The words of an element's epub:type (by namespace, or by name where the
// document was parsed as HTML) and of its role.
QStringList semantics(const QWebElement& element)
{
    const QString words = element.attributeNS(kOpsNamespace, QStringLiteral("type")) + QLatin1Char(' ')
        + element.attribute(QStringLiteral("epub:type")) + QLatin1Char(' ') + element.attribute(QStringLiteral("role"));
    return words.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

bool hasAnyOf(const QWebElement& element, const QStringList& words)
{
    const QStringList own = semantics(element);
    return std::any_of(words.cbegin(), words.cend(), [&own](const QString& word) { return own.contains(word); });
}

// An attribute selector for the id `id`, every character that is no letter
// or digit escaped, so the book's id cannot change the selector.
QString idSelector(const QString& id)
{
    QString escaped;
    for (const QChar c : id) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            escaped += c;
        else
            escaped += QStringLiteral("\\%1 ").arg(c.unicode(), 0, 16);
    }
    return QStringLiteral("[id=\"%1\"]").arg(escaped);
}

// The pop-up's page: loads only the note's document the pop-up asks for; a
// refresh, a form or a link inside the note goes nowhere.
class NotePage : public QWebPage
{
public:
    using QWebPage::QWebPage;
    QUrl permitted;

protected:
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request, NavigationType type) override
    {
        if (type == NavigationTypeLinkClicked)
            return false;
        if (frame != mainFrame())
            return QWebPage::acceptNavigationRequest(frame, request, type);
        if (request.url() != permitted)
            return false;
        permitted.clear();
        return QWebPage::acceptNavigationRequest(frame, request, type);
    }
};

} // namespace

ViewerNotePopup::ViewerNotePopup(QNetworkAccessManager* access, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , ui(new Ui::ViewerNotePopup)
    , note_page(new NotePage(this))
{
    ui->setupUi(this);
    note_page->setNetworkAccessManager(access);
    lf::confineBookPageSettings(note_page->settings());
    note_page->settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
    // Drawn as the reader's pages are.
    note_page->settings()->setUserStyleSheetUrl(QUrl(lf::kPageStyleSheetUrl));
    note_page->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    ui->note_webview->setPage(note_page);
    connect(note_page, SIGNAL(loadFinished(bool)), this, SLOT(noteDocumentLoaded(bool)));
}

ViewerNotePopup::~ViewerNotePopup()
{
    delete ui;
}

bool ViewerNotePopup::isNoteReference(const QWebElement& link)
{
    return !link.isNull() && hasAnyOf(link, { QStringLiteral("noteref"), QStringLiteral("doc-noteref") });
}

bool ViewerNotePopup::isNote(const QWebElement& element)
{
    static const QStringList notes { QStringLiteral("footnote"), QStringLiteral("endnote"), QStringLiteral("rearnote"),
        QStringLiteral("doc-footnote"), QStringLiteral("doc-endnote") };
    return !element.isNull() && hasAnyOf(element, notes);
}

void ViewerNotePopup::showNote(const QUrl& target, const QPoint& point, qreal zoom)
{
    hide();
    note_url = target;
    anchor_point = point;
    ui->note_webview->setZoomFactor(zoom);
    const QUrl document = target.adjusted(QUrl::RemoveFragment);
    static_cast<NotePage*>(note_page)->permitted = document;
    note_page->mainFrame()->load(document);
}

void ViewerNotePopup::noteDocumentLoaded(bool ok)
{
    if (note_url.isEmpty())
        return;
    const QUrl target = note_url;
    note_url.clear();
    if (!ok || !keepOnlyTheNote(target.fragment(QUrl::FullyDecoded))) {
        qDebug().noquote() << "no note at" << target.toString();
        emit noteMissing(target);
        return;
    }
    placeNearAnchor();
    show();
}

// Everything of the document but the note goes; the note shows even where the
// book's style sheet hides it from the running text.
bool ViewerNotePopup::keepOnlyTheNote(const QString& id)
{
    QWebFrame* frame = note_page->mainFrame();
    QWebElement note = id.isEmpty() ? QWebElement() : frame->findFirstElement(idSelector(id));
    QWebElement body = frame->findFirstElement(QStringLiteral("body"));
    if (!isNote(note) || body.isNull() || note == body || note.findFirst(QStringLiteral("body")) == body)
        return false;
    note.takeFromDocument();
    body.removeAllChildren();
    body.appendInside(note);
    note.removeAttribute(QStringLiteral("hidden"));
    note.setStyleProperty(QStringLiteral("display"), QStringLiteral("block !important"));
    note.setStyleProperty(QStringLiteral("visibility"), QStringLiteral("visible !important"));
    return true;
}

// Below the anchor where there is room in the window, else above it; never
// past the window's sides.
void ViewerNotePopup::placeNearAnchor()
{
    ensurePolished();
    layout()->activate();
    const QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = window ? QRect(window->mapToGlobal(QPoint(0, 0)), window->size())
                              : QGuiApplication::primaryScreen()->availableGeometry();
    const int frame_width = width() - ui->note_webview->width();
    const int frame_height = height() - ui->note_webview->height();
    const int view_width = std::max(kSmallest, std::min(kWidth, area.width() - 2 * kGap) - frame_width);

    // The note's own height, laid out at the pop-up's width.
    QWebFrame* frame = note_page->mainFrame();
    note_page->setViewportSize(QSize(view_width, 1));
    const int below = area.bottom() - anchor_point.y() - 2 * kGap;
    const int above = anchor_point.y() - area.top() - 2 * kGap;
    const int room = std::max(below, above) - frame_height;
    const int wanted = frame->contentsSize().height();
    const int view_height = std::max(kSmallest, std::min({ wanted, room, area.height() / 2 }));
    ui->note_webview->setFixedSize(view_width, view_height);
    note_page->setViewportSize(QSize(view_width, view_height));
    resize(view_width + frame_width, view_height + frame_height);

    const int x = std::clamp(anchor_point.x() - width() / 2, area.left() + kGap,
        std::max(area.left() + kGap, area.right() - kGap - width()));
    const int y = height() <= below + frame_height ? anchor_point.y() + kGap : anchor_point.y() - kGap - height();
    move(x, y);
}

void ViewerNotePopup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
