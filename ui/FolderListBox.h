#pragma once

#include <QListWidget>

class FolderList;

// The list control of one folder list: shows the entries of a FolderList in
// its order and keeps the selection flags of both in step (extended
// selection: click, Shift for a range, Ctrl to toggle).
class FolderListBox : public QListWidget {
    Q_OBJECT
public:
    FolderListBox(FolderList& list, QWidget* parent = nullptr);

private:
    void ShowList();
    void TakeSelection();

    FolderList& m_list;
    bool m_updating = false;
};
