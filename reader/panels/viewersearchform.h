#pragma once

#include <QSize>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class MarkupScreen;
class PageHarvest;
class QListWidgetItem;
class QMovie;
class TextFinder;
struct EpubData;

namespace Ui {
class ViewerSearchForm;
}

// The reader's search panel. Walks the spine from the event loop and lists,
// in spine order, every document in which the web engine finds the term. A
// document whose text the book's page harvest has taken is searched in that
// text as the engine would (TextFinder); of the others, those whose own
// markup holds every word of the term (MarkupScreen) are loaded by the
// harvest, which takes them on the way, and the engine is asked. Owned by the reader
// window's central widget; GUI thread.
class ViewerSearchForm : public QWidget
{
    Q_OBJECT

public:
    // `book` belongs to the reader window and must outlive the panel; `bookDir`
    // is the book folder without a trailing "/".
    ViewerSearchForm(QWidget* parent, EpubData* book, const QString& bookDir);
    ~ViewerSearchForm() override;

    // The reader's harvest of the book, shared with the contents panel; the
    // panel makes its own when none is given before the first search.
    void setPageHarvest(PageHarvest* harvest);

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
    void pageSearchLoadFinished(int page);
    void moveToPage(QListWidgetItem* item);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void beginSearch();
    void scheduleTurn();
    void addResultRow(int page);
    void insertFoundRows();
    void nextDocument();
    PageHarvest* harvest();
    MarkupScreen* markupScreen();
    QWidget* makeRowForm(QListWidgetItem* item) const;

    std::unique_ptr<Ui::ViewerSearchForm> ui;
    int count = 0;
    QString searchText;
    EpubData* book = nullptr;
    QString bookDir;
    PageHarvest* pageHarvest = nullptr;
    bool searching = false;
    bool loading = true;
    QMovie* loadingMovie = nullptr;

    std::unique_ptr<TextFinder> finder;
    std::unique_ptr<MarkupScreen> screen; // for documents the page pass has not taken yet
    QString screenTerm;
    QSize rowSize; // of a row form, measured once
    // Pages found since the list last grew: the list takes them in one insertion.
    QVector<int> foundPages;
    bool awaitingLoad = false; // the harvest loads a document for the engine's find
    bool turnQueued = false; // pageSearchFinish() is on its way to pageSearchLoad()
};
