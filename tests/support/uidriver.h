#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class QMenu;

namespace lf::test {

// Answers the next ViewerDefaultDialog by pressing one of its buttons, the way
// a user would; remembers the title and the message it showed.
class DialogAnswerer : public QObject
{
public:
    explicit DialogAnswerer(const char* buttonName);
    QString title;
    QString message;
    int answered = 0;

private:
    void poll();
    const char* m_buttonName;
    QTimer m_timer;
};

// Works the next popup menu as a user would: remembers its entries (a
// submenu's as "Title/Entry") and clicks the entry at `path` ("Highlight",
// "Green"), or dismisses the menu when the path is empty.
class MenuChooser : public QObject
{
public:
    explicit MenuChooser(const QStringList& path = {});
    QStringList entries;
    bool shown = false;

private:
    void poll();
    static QStringList entriesOf(const QMenu* menu, const QString& prefix);
    QStringList m_path;
    QTimer m_timer;
};

// Stands in for the desktop's URL handler of `schemes` while it lives, and
// keeps every address the program hands to the desktop, none opened.
class DesktopUrlCatcher : public QObject
{
    Q_OBJECT
public:
    explicit DesktopUrlCatcher(const QStringList& schemes);
    ~DesktopUrlCatcher() override;
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }

private:
    QStringList m_schemes;
};

} // namespace lf::test
