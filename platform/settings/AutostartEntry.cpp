#include "platform/settings/AutostartEntry.h"

#include "platform/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {
namespace {

QString LocalPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The program path as one argument of an Exec key: quoted when it holds a
// character the desktop entry format reserves, '%' doubled, and the string
// escapes of the format applied on top.
std::string ExecArgument(const std::string& path)
{
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (path.find_first_of(reserved) == std::string::npos) {
        argument = path;
    } else {
        argument = "\"";
        for (char c : path) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                argument += '\\';
            argument += c;
        }
        argument += '"';
    }
    std::string escaped;
    for (char c : argument) {
        if (c == '%')
            escaped += "%%";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace

std::string AutostartEntry::DefaultFilePath()
{
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFile::encodeName(configHome + QStringLiteral("/autostart/Folderly.desktop")).toStdString();
}

std::string AutostartEntry::InstalledProgramPath()
{
    return std::string(FOLDERLY_INSTALL_BINDIR) + "/folderly";
}

std::string AutostartEntry::DesktopEntryText(const std::string& programPath)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Folderly\n"
           "Comment=Keeps the files of folders in step\n"
           "Icon=folderly\n"
           "Exec="
        + ExecArgument(programPath)
        + "\n"
          "Terminal=false\n";
}

AutostartEntry::AutostartEntry() : AutostartEntry(DefaultFilePath(), InstalledProgramPath())
{
}

AutostartEntry::AutostartEntry(std::string filePath, std::string programPath)
    : m_filePath(std::move(filePath)),
      m_programPath(std::move(programPath))
{
}

bool AutostartEntry::Exists() const
{
    return QFileInfo(LocalPath(m_filePath)).isFile();
}

void AutostartEntry::Write() const
{
    const QString path = LocalPath(m_filePath);
    // Fresh accounts often have no autostart folder yet.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray text = QByteArray::fromStdString(DesktopEntryText(m_programPath));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw ESettingsError::For(kFailedToSetDataText, kAutostartName);
}

bool AutostartEntry::Delete() const
{
    return Exists() && QFile::remove(LocalPath(m_filePath));
}

}  // namespace platform
