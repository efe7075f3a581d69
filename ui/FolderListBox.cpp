#include "ui/FolderListBox.h"

#include "lists/FolderList.h"

#include <QItemSelection>

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
    // All texts in one insertion: item by item, a list of 100,000 entries
    // takes seconds to show.
    QStringList texts;
    texts.reserve(m_list.Count());
    for (int i = 0; i < m_list.Count(); ++i)
        texts.push_back(QString::fromStdString(m_list.Text(i)));
    addItems(texts);
    // The selection as runs of rows in one call: row by row, selecting all
    // of a long list takes minutes.
    QItemSelection selection;
    for (int first = 0; first < m_list.Count(); ++first) {
        if (!m_list.Selected(first))
            continue;
        int last = first;
        while (last + 1 < m_list.Count() && m_list.Selected(last + 1))
            ++last;
        selection.select(model()->index(first, 0), model()->index(last, 0));
        first = last;
    }
    selectionModel()->select(selection, QItemSelectionModel::Select);
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
