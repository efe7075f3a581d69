#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class FolderList;
class QFileSystemModel;
class QLineEdit;
class QListView;
class QModelIndex;
class QTreeView;

// The "Select Directory" folder dialog of Add Path: a folder tree, the files
// of the current folder, an editable path field, Help, OK and Cancel. The
// user may type a folder that does not exist; OK then asks before letting the
// dialog close. Moving to a folder in the tree makes it the program's current
// folder, so after the dialog the current folder is the one last shown.
class SelectDirectoryDialog : public QDialog {
    Q_OBJECT

public:
    static const QString kCaption;  // "Select Directory"
    static const QString kCreateDirectoryQuestion;  // asked on OK for a missing folder
    static const QString kFoldersLabel;
    static const QString kFilesLabel;
    static const QString kPathLabel;
    static constexpr int kHelpTopic = 1000;

    explicit SelectDirectoryDialog(QWidget* parent = nullptr);
    ~SelectDirectoryDialog() override;

    // Shows the folder in the tree and the path field, lists its files and
    // makes it the current folder.
    void SetDirectory(const std::string& path);
    // The text of the path field as a full path: a typed text that is none
    // is taken from the folder shown, "~" from the home folder.
    std::string Directory() const;

    // What Help does: the window points it at the program's help (topic
    // kHelpTopic). Shared by every dialog; nothing happens until it is set.
    static void SetHelpHandler(std::function<void(int topic)> handler);

    // On OK: asks kCreateDirectoryQuestion when the path field names no
    // existing folder; only Yes closes the dialog.
    void accept() override;

signals:
    void helpRequested(int topic);

private:
    void OnFolderChosen(const QModelIndex& index);
    void OnHelp();
    void ShowFilesOf(const QString& folder);

    QFileSystemModel* m_folderModel;
    QFileSystemModel* m_fileModel;
    QTreeView* m_folderTree;
    QListView* m_fileList;
    QLineEdit* m_pathEdit;
    // The folder the tree shows: what a typed relative text starts from.
    std::string m_shownFolder;
};

// Shows the dialog modally, starting at "/" every time. Returns the path
// field's text on OK, nothing on Cancel.
std::optional<std::string> ExecuteSelectDirectory(QWidget* parent);
