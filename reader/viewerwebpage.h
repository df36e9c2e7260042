#pragma once

#include <QWebPage>

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

    bool extension(
        Extension extension, const ExtensionOption* option = nullptr, ExtensionReturn* output = nullptr) override;
    bool supportsExtension(Extension extension) const override;

    // The report shown in place of a page that failed to load.
    static QString errorPageHtml(const ErrorPageExtensionOption& error);

protected:
    void javaScriptAlert(QWebFrame* frame, const QString& msg) override;
    bool javaScriptConfirm(QWebFrame* frame, const QString& msg) override;
    void javaScriptConsoleMessage(const QString& message, int lineNumber, const QString& sourceID) override;

private:
    BookNetworkAccessManager* book_access;
};
