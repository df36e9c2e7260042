#pragma once

#include "reader/searchtextindex.h"

#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QListWidgetItem;
class QMovie;
class QWebPage;
struct EpubData;

namespace Ui {
class ViewerSearchForm;
}

// The reader's search panel. Walks the spine one document per step from the
// event loop and lists, in spine order, every document in which the web engine
// finds the term. Most documents are decided from the book's search text
// without loading them; the others are loaded into one off-screen page and asked. Owned by the reader window's central
// widget; GUI thread.
class ViewerSearchForm : public QWidget
{
    Q_OBJECT

public:
    // `book` belongs to the reader window and must outlive the panel; `bookDir`
    // is the book folder without a trailing "/".
    ViewerSearchForm(QWidget* parent, EpubData* book, const QString& bookDir);
    ~ViewerSearchForm() override;

    // Sets `page` up as the panel's own off-screen page for the book in
    // `bookDir`: the book's confined access, no scripts, no pictures.
    static void setUpSearchPage(QWebPage* page, const QString& bookDir);

signals:
    void pageSearchFinish();
    void hided();
    void showed(QString);
    void moveToPageEvent(int, QString*);

public slots:
    void hideAndShow(bool is_show);
    QString getTitle();
    void searchEvent(QString text);
    void setLoadFinish();

protected slots:
    void searchStart();

private slots:
    void pageSearchLoad();
    void pageSearchLoadFinished(bool stat);
    void moveToPage(QListWidgetItem* item);
    void attachVisibleRows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void beginSearch();
    void addResultRow(int page);
    void nextDocument();

    std::unique_ptr<Ui::ViewerSearchForm> ui;
    int count = 0;
    QString searchText;
    EpubData* book = nullptr;
    QString bookDir;
    QWebPage* searchPage = nullptr;
    bool searching = false;
    bool loading = true;
    QMovie* loadingMovie = nullptr;

    SearchTextIndex textIndex;
    lf::SearchText::Term searchTerm { QString() };
    QSize rowSize; // of a row form, measured once
    bool awaitingLoad = false; // a document of ours is loading into searchPage
};
