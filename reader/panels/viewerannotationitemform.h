#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// Shared part of the annotation list rows and the memo editor: the page index and
// mark class name a row stands for, the "%1 page" text and the shortened marked text.
// Lives in the list row (or reader window) that owns it, on the GUI thread.
class ViewerAnnotationItemForm : public QWidget
{
    Q_OBJECT

public:
    // "%1 page" with the page label, or with the 0-based page index when there is no label.
    static QString pageText(int page, const QString& page_name);
    // The text up to its first line break and at most `length` characters, followed by "...".
    static QString shortenedText(const QString& text, int length);

public slots:
    int getPage_index();
    QString getClassName();

protected:
    explicit ViewerAnnotationItemForm(QWidget* parent = nullptr);
    void showPage(QLabel* page_label, int page, const QString& page_name);
    // The row stands for mark `class_name` of `page`, shown on `page_label`.
    void showMark(QLabel* page_label, int page, const QString& class_name, const QString& page_name);

    int page_index = 0;
    QString class_name;
};
