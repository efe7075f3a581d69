#include "ui/dialogs/SelectDirectoryDialog.h"

#include "lists/AddPath.h"
#include "platform/fs/FileSystem.h"
#include "ui/dialogs/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTreeView>
#include <QVBoxLayout>

const QString SelectDirectoryDialog::kCaption = QStringLiteral("Select Directory");
const QString SelectDirectoryDialog::kCreateDirectoryQuestion = QStringLiteral(
    "The specified directory does not exist. Create it?");
const QString SelectDirectoryDialog::kFoldersLabel = QStringLiteral("&Folders:");
const QString SelectDirectoryDialog::kFilesLabel = QStringLiteral("Files:");
const QString SelectDirectoryDialog::kPathLabel = QStringLiteral("&Path:");

namespace {

const char* const kRootPath = "/";

// Paths are byte strings below the window; file names go through the
// locale's encoding, as the file system model itself does.
QString ToQString(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

std::function<void(int)>& HelpHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

}  // namespace

SelectDirectoryDialog::SelectDirectoryDialog(QWidget* parent)
    : QDialog(parent),
      m_folderModel(new QFileSystemModel(this)),
      m_fileModel(new QFileSystemModel(this)),
      m_folderTree(new QTreeView(this)),
      m_fileList(new QListView(this)),
      m_pathEdit(new QLineEdit(this))
{
    setWindowTitle(kCaption);
    setObjectName(QStringLiteral("SelectDirectoryDialog"));

    m_folderModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_folderModel->setRootPath(QString::fromLatin1(kRootPath));
    m_folderTree->setObjectName(QStringLiteral("folderTree"));
    m_folderTree->setModel(m_folderModel);
    m_folderTree->setHeaderHidden(true);
    for (int column = 1; column < m_folderModel->columnCount(); ++column)
        m_folderTree->hideColumn(column);
    m_folderTree->setSelectionMode(QAbstractItemView::SingleSelection);

    // The files are shown for orientation only; a folder is what is chosen.
    m_fileModel->setFilter(QDir::Files);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_fileList->setModel(m_fileModel);
    m_fileList->setSelectionMode(QAbstractItemView::NoSelection);

    m_pathEdit->setObjectName(QStringLiteral("pathEdit"));

    auto* folderLabel = new QLabel(kFoldersLabel, this);
    folderLabel->setBuddy(m_folderTree);
    auto* filesLabel = new QLabel(kFilesLabel, this);
    auto* pathLabel = new QLabel(kPathLabel, this);
    pathLabel->setBuddy(m_pathEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Help | QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                         this);
    buttons->setObjectName(QStringLiteral("buttons"));

    auto* folderColumn = new QVBoxLayout;
    folderColumn->addWidget(folderLabel);
    folderColumn->addWidget(m_folderTree);
    auto* fileColumn = new QVBoxLayout;
    fileColumn->addWidget(filesLabel);
    fileColumn->addWidget(m_fileList);
    auto* browse = new QHBoxLayout;
    browse->addLayout(folderColumn, 3);
    browse->addLayout(fileColumn, 2);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(m_pathEdit, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(browse, 1);
    layout->addLayout(pathRow);
    layout->addWidget(buttons);
    resize(500, 400);

    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnFolderChosen(current); });
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectDirectoryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SelectDirectoryDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &SelectDirectoryDialog::OnHelp);

    SetDirectory(kRootPath);
    m_pathEdit->setFocus();
}

SelectDirectoryDialog::~SelectDirectoryDialog() = default;

void SelectDirectoryDialog::SetDirectory(const std::string& path)
{
    const QString folder = ToQString(path);
    const QModelIndex index = m_folderModel->index(folder);
    if (index.isValid()) {
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            m_folderTree->expand(parent);
        m_folderTree->setCurrentIndex(index);
        m_folderTree->scrollTo(index);
    }
    // The text stays as given, also where the tree spells it differently.
    m_pathEdit->setText(folder);
    ShowFilesOf(folder);
    m_shownFolder = path;
    platform::SetCurrentDir(path);
}

std::string SelectDirectoryDialog::Directory() const
{
    return FullFolderPath(ToPath(m_pathEdit->text()), m_shownFolder, ToPath(QDir::homePath()));
}

void SelectDirectoryDialog::SetHelpHandler(std::function<void(int topic)> handler)
{
    HelpHandler() = std::move(handler);
}

void SelectDirectoryDialog::accept()
{
    const std::string path = Directory();
    if (path.empty() || !platform::DirectoryExists(path)) {
        if (MessageBoxes::Question(this, kCreateDirectoryQuestion) != MessageBoxes::Answer::Yes)
            return;
    }
    QDialog::accept();
}

void SelectDirectoryDialog::OnFolderChosen(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const QString folder = m_folderModel->filePath(index);
    m_pathEdit->setText(folder);
    ShowFilesOf(folder);
    m_shownFolder = ToPath(folder);
    platform::SetCurrentDir(m_shownFolder);
}

void SelectDirectoryDialog::OnHelp()
{
    emit helpRequested(kHelpTopic);
    if (HelpHandler())
        HelpHandler()(kHelpTopic);
}

void SelectDirectoryDialog::ShowFilesOf(const QString& folder)
{
    m_fileList->setRootIndex(m_fileModel->setRootPath(folder));
}

std::optional<std::string> ExecuteSelectDirectory(QWidget* parent)
{
    // A fresh dialog every time, so it always starts at the root.
    SelectDirectoryDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Directory();
}
