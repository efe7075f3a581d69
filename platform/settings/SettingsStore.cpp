#include "platform/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "platform/FormatText.h"
#include "platform/fs/FileError.h"
#include "platform/fs/TextFile.h"

namespace platform {
namespace {

constexpr char kIntegerMarker[] = "int:";
constexpr char kStringMarker[] = "str:";

// What a stored value turned out to be.
struct Decoded {
    enum class Kind { Missing, Unreadable, Integer, String } kind = Kind::Missing;
    std::int32_t integer = 0;
    std::string text;
};

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

Decoded Decode(const QVariant& value)
{
    Decoded result;
    if (!value.isValid())
        return result;
    // A hand-edited line with a comma reads back as a list: not ours.
    if (value.typeId() != QMetaType::QString) {
        result.kind = Decoded::Kind::Unreadable;
        return result;
    }
    const std::string text = value.toString().toStdString();
    if (StartsWith(text, kIntegerMarker)) {
        const char* first = text.data() + sizeof(kIntegerMarker) - 1;
        const char* last = text.data() + text.size();
        const auto [end, error] = std::from_chars(first, last, result.integer);
        result.kind = (error == std::errc() && end == last && first != last) ? Decoded::Kind::Integer
                                                                             : Decoded::Kind::Unreadable;
        return result;
    }
    result.kind = Decoded::Kind::String;
    result.text = StartsWith(text, kStringMarker) ? text.substr(sizeof(kStringMarker) - 1) : text;
    return result;
}

}  // namespace

ESettingsError ESettingsError::For(const char* pattern, const std::string& valueName)
{
    return ESettingsError(FormatText(pattern, {valueName}));
}

std::string SettingsStore::DefaultFilePath()
{
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFile::encodeName(configHome + QStringLiteral("/Vantrel/Folderly.conf")).toStdString();
}

SettingsStore::SettingsStore() : SettingsStore(DefaultFilePath())
{
}

SettingsStore::SettingsStore(std::string filePath) : m_filePath(std::move(filePath))
{
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::OpenKey(bool canCreate)
{
    CloseKey();
    m_readFailure.clear();
    const QString path = QFile::decodeName(QByteArray::fromStdString(m_filePath));
    struct stat st {};
    if (::stat(m_filePath.c_str(), &st) != 0 && errno == ENOENT) {
        if (!canCreate)
            return false;
        // An empty file is an empty key; QSettings alone would not create
        // the file before the first value is written.
        QDir().mkpath(QFileInfo(path).absolutePath());
        const int fd = ::open(m_filePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            m_readFailure = EInOutError::FromErrnoAtPath(errno, m_filePath).what();
            return false;
        }
        ::close(fd);
    }
    if (!KeyExists()) {
        // Something is there that is no file; O_NONBLOCK: a pipe is not waited on.
        const int fd = ::open(m_filePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        m_readFailure = fd < 0 ? EInOutError::FromErrnoAtPath(errno, m_filePath).what() : kNotAFileText;
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_settings = std::make_unique<QSettings>(path, QSettings::NativeFormat);
    if (m_settings->status() == QSettings::AccessError)
        m_readFailure = kFileAccessDeniedText;
    else if (m_settings->status() == QSettings::FormatError)
        m_readFailure = kNotASettingsFileText;
    return true;
}

void SettingsStore::CloseKey()
{
    if (!m_settings)
        return;
    m_settings->sync();
    m_settings.reset();
}

bool SettingsStore::KeyExists() const
{
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(m_filePath))).isFile();
}

bool SettingsStore::ValueExists(const std::string& name) const
{
    return m_settings && m_settings->contains(QString::fromStdString(name));
}

std::int32_t SettingsStore::ReadInteger(const std::string& name) const
{
    const Decoded value = m_settings ? Decode(m_settings->value(QString::fromStdString(name))) : Decoded();
    switch (value.kind) {
    case Decoded::Kind::Integer: return value.integer;
    case Decoded::Kind::String: throw ESettingsError::For(kInvalidDataTypeText, name);
    default: throw ESettingsError::For(kFailedToGetDataText, name);
    }
}

std::string SettingsStore::ReadString(const std::string& name) const
{
    const Decoded value = m_settings ? Decode(m_settings->value(QString::fromStdString(name))) : Decoded();
    switch (value.kind) {
    case Decoded::Kind::String: return value.text;
    case Decoded::Kind::Integer: throw ESettingsError::For(kInvalidDataTypeText, name);
    default: throw ESettingsError::For(kFailedToGetDataText, name);
    }
}

void SettingsStore::WriteInteger(const std::string& name, std::int32_t value)
{
    Store(name, kIntegerMarker + std::to_string(value));
}

void SettingsStore::WriteString(const std::string& name, const std::string& value)
{
    Store(name, kStringMarker + value);
}

void SettingsStore::Store(const std::string& name, const std::string& encoded)
{
    if (!m_settings)
        throw ESettingsError::For(kFailedToSetDataText, name);
    RenewAfterFailure();
    m_settings->setValue(QString::fromStdString(name), QString::fromStdString(encoded));
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw ESettingsError::For(kFailedToSetDataText, name);
}

void SettingsStore::RenewAfterFailure()
{
    // QSettings keeps a failed status for good (a new object over the same
    // file even starts with it while the failed change is pending), so each
    // write after a failure starts from a fresh object.
    if (m_settings->status() != QSettings::NoError)
        m_settings = std::make_unique<QSettings>(m_settings->fileName(), QSettings::NativeFormat);
}

bool SettingsStore::DeleteValue(const std::string& name)
{
    if (!ValueExists(name))
        return false;
    RenewAfterFailure();
    m_settings->remove(QString::fromStdString(name));
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

}  // namespace platform
