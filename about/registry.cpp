// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32
namespace {

HKEY rootHandle(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

HKEY keyHandle(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}

} // namespace

std::optional<RegistryKey>
WindowsRegistryReader::openKey(RegistryRoot root, const std::string& keyPath, uint32_t access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootHandle(root), keyPath.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return std::nullopt;
    return reinterpret_cast<RegistryKey>(key);
}

bool WindowsRegistryReader::queryValue(RegistryKey key, const std::string& valueName,
                                       uint32_t& type, uint8_t* data, uint32_t& size) {
    DWORD valueType = 0;
    DWORD bytes = size;
    if (RegQueryValueExA(keyHandle(key), valueName.c_str(), nullptr, &valueType, data, &bytes) !=
        ERROR_SUCCESS)
        return false;
    type = valueType;
    size = bytes;
    return true;
}

void WindowsRegistryReader::closeKey(RegistryKey key) {
    RegCloseKey(keyHandle(key));
}

std::unique_ptr<RegistryReader> makeSystemRegistryReader() {
    return std::make_unique<WindowsRegistryReader>();
}
#else
std::unique_ptr<RegistryReader> makeSystemRegistryReader() {
    return std::make_unique<NoRegistryReader>();
}
#endif

namespace {

// Closes an open key when the look-up ends, whichever way it ends.
class OpenKey {
public:
    OpenKey(RegistryReader& reader, RegistryKey key) : mReader(reader), mKey(key) {}
    ~OpenKey() { mReader.closeKey(mKey); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    [[nodiscard]] RegistryKey key() const { return mKey; }

private:
    RegistryReader& mReader;
    RegistryKey mKey;
};

} // namespace

RegistryValue GetKeyValue(RegistryReader& reader, RegistryRoot root, const std::string& keyPath,
                          const std::string& valueName) {
    const std::optional<RegistryKey> opened = reader.openKey(root, keyPath, kRegistryAccess);
    if (!opened)
        return {};
    const OpenKey key(reader, *opened);

    std::array<uint8_t, kRegistryBufferBytes> buffer{};
    uint32_t type = 0;
    uint32_t filled = kRegistryBufferBytes;
    if (!reader.queryValue(key.key(), valueName, type, buffer.data(), filled))
        return {};
    // A reader claiming more than the buffer holds must not make us read past it.
    if (filled > buffer.size())
        filled = static_cast<uint32_t>(buffer.size());
    if (filled > 0 && buffer[filled - 1] == 0)
        --filled;

    RegistryValue result;
    result.found = true;
    if (type == kRegSz)
        result.value.assign(reinterpret_cast<const char*>(buffer.data()), filled);
    return result;
}

SysInfoStart StartSysInfo(RegistryReader& reader, const FileExistsFunction& fileExists,
                          const StartProgramFunction& startProgram) {
    const auto start = [&](const std::string& path) {
        // An empty path (a value that was not text) cannot be started.
        return !path.empty() && startProgram(path) ? SysInfoStart::Started
                                                   : SysInfoStart::Unavailable;
    };

    const RegistryValue msinfo = GetKeyValue(reader, RegistryRoot::LocalMachine,
                                             "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH");
    if (msinfo.found)
        return start(msinfo.value);

    const RegistryValue location = GetKeyValue(
        reader, RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO");
    if (location.found) {
        const std::string program = location.value + "\\MSINFO32.EXE";
        if (fileExists(program))
            return start(program);
    }
    return SysInfoStart::Unavailable;
}

bool systemFileExists(const std::string& path) {
    const QFileInfo info(QString::fromLocal8Bit(path));
    return info.exists() && info.isFile();
}

bool startProgramDetached(const std::string& path) {
    return QProcess::startDetached(QString::fromLocal8Bit(path), {});
}
