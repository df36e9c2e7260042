#pragma once

#include <QPoint>
#include <QWebElement>
#include <QWebPage>

#include <optional>

class BookNetworkAccessManager;

// The page of one reader view: load errors become a short report, script
// alerts, confirmations and console messages go to the debug log, and every
// request goes through the book's confining access manager.
class ViewerWebPage : public QWebPage
{
    Q_OBJECT

public:
    explicit ViewerWebPage(QObject* parent = nullptr);

    BookNetworkAccessManager* bookAccess() const { return book_access; }

    // The next main-frame navigation is the reader's own (a page load or a
    // reload); every other one, which only a book's script or form can start,
    // is refused and reported by navigationRefused().
    void allowNextNavigation() { reader_navigation = true; }

    // The view brackets its handling of a mouse button release at `pos`
    // (view coordinates) with these: only then is a clicked link followed, and
    // only the link under the mouse. A script's click() or a made-up click
    // event is dropped.
    void beginUserClick(const QPoint& pos) { user_click = pos; }
    void endUserClick() { user_click.reset(); }
    // The link under the user's click being handled, in whichever frame it
    // lies, and the click's place; a null element outside a click.
    QWebElement userClickLink() const;
    QPoint userClickPos() const { return user_click.value_or(QPoint()); }

    bool extension(
        Extension extension, const ExtensionOption* option = nullptr, ExtensionReturn* output = nullptr) override;
    bool supportsExtension(Extension extension) const override;

    // The report shown in place of a page that failed to load.
    static QString errorPageHtml(const ErrorPageExtensionOption& error);

signals:
    void navigationRefused(QUrl);

protected:
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request, NavigationType type) override;
    void javaScriptAlert(QWebFrame* frame, const QString& msg) override;
    bool javaScriptConfirm(QWebFrame* frame, const QString& msg) override;
    void javaScriptConsoleMessage(const QString& message, int lineNumber, const QString& sourceID) override;

private slots:
    void watchFrame(QWebFrame* frame);
    void lockDownFrame();
    void endReaderNavigation();

private:
    bool isUserClickOn(const QUrl& url) const;

    BookNetworkAccessManager* book_access;
    bool reader_navigation = false;
    std::optional<QPoint> user_click;
};
