#pragma once

class QPrinter;
class QWidget;
class ViewerWebView;

// Prints the page or spread the reader shows, and runs the print preview.
// A fixed-layout page is drawn as the view shows it, one sheet per view; a
// reflowable document is laid out anew by the web engine at the sheet's width.
class BookPrinter
{
public:
    BookPrinter(ViewerWebView* left, ViewerWebView* right);

    struct Shown
    {
        bool fixedLayout = false;
        bool twoPage = false;
    };
    // The sheets a print covers: 1 or 2 for fixed pages, 0 for all.
    static int sheets(const Shown& shown);
    // Runs the preview dialog over `window`, whose printDocument(QPrinter*)
    // slot draws the sheets. The window may be gone when this returns.
    static void preview(QWidget* window, const Shown& shown);
    // A reflowable document leaves its view laid out for the sheet: the
    // caller lays the page out again.
    void print(QPrinter* printer, const Shown& shown) const;

private:
    ViewerWebView* left;
    ViewerWebView* right;
};
