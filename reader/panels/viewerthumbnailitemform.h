#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class ViewerThumbnailItemForm;
}

// One tile of the thumbnail tab: the page label and the page's small picture.
// Owned by the thumbnail list; GUI thread.
class ViewerThumbnailItemForm : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerThumbnailItemForm(const QString& index, QWidget* parent = nullptr);
    ~ViewerThumbnailItemForm() override;

    // A null pixmap leaves the tile as it is.
    void setPixmap(const QPixmap& pixmap);
    // The size of the picture area, which is the size thumbnails are rendered at.
    QSize imageSize() const;
    // That size, without a tile of one's own.
    static QSize pictureSize();
    bool hasPixmap() const;

private:
    std::unique_ptr<Ui::ViewerThumbnailItemForm> ui;
};
