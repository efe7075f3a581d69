#include "ui/FolderListBox.h"

#include "lists/FolderList.h"

FolderListBox::FolderListBox(FolderList& list, QWidget* parent) : QListWidget(parent), m_list(list)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    m_list.SetObserver([this] { ShowList(); });
    connect(this, &QListWidget::itemSelectionChanged, this, &FolderListBox::TakeSelection);
    ShowList();
}

void FolderListBox::ShowList()
{
    if (m_updating)
        return;
    m_updating = true;
    clear();
    for (int i = 0; i < m_list.Count(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(m_list.Text(i)), this);
        item->setSelected(m_list.Selected(i));
    }
    m_updating = false;
}

void FolderListBox::TakeSelection()
{
    if (m_updating)
        return;
    m_updating = true;
    for (int i = 0; i < count() && i < m_list.Count(); ++i)
        m_list.SetSelected(i, item(i)->isSelected());
    m_updating = false;
}
