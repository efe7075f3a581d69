#include "tray/ImageList.h"

ImageList::ImageList(QObject* parent) : QObject(parent)
{
}

QIcon ImageList::GetIcon(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_images.at(index);
}

void ImageList::Add(const QIcon& image)
{
    m_images.append(image);
    emit changed();
}

void ImageList::Replace(int index, const QIcon& image)
{
    if (index < 0 || index >= Count())
        return;
    m_images[index] = image;
    emit changed();
}

void ImageList::Clear()
{
    m_images.clear();
    emit changed();
}
