#pragma once

#include <QIcon>
#include <QList>
#include <QObject>

// A list of images that the tray icon can take its picture from by index.
class ImageList : public QObject {
    Q_OBJECT

public:
    explicit ImageList(QObject* parent = nullptr);

    int Count() const { return static_cast<int>(m_images.size()); }
    // A copy of image index as an icon; an empty icon outside the list.
    QIcon GetIcon(int index) const;

    void Add(const QIcon& image);
    void Replace(int index, const QIcon& image);
    void Clear();

signals:
    void changed();

private:
    QList<QIcon> m_images;
};
