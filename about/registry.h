// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Read-only access to the Windows registry behind a small seam, so the look-up rules of the
// version window can be tested with a fake. Key paths, value names and texts are bytes in the
// system's ANSI code page, as the "A" functions of advapi32 use them.

enum class RegistryRoot : uint8_t { LocalMachine, CurrentUser };

using RegistryKey = std::uintptr_t;

inline constexpr uint32_t kRegistryAccess = 0x2003F; // the access mask keys are opened with
inline constexpr uint32_t kRegSz = 1;                // type of a plain text value
inline constexpr uint32_t kRegistryBufferBytes = 1024;

class RegistryReader {
public:
    virtual ~RegistryReader() = default;

    // RegOpenKeyExA: the open key, or nothing when it is missing or access is refused.
    [[nodiscard]] virtual std::optional<RegistryKey>
    openKey(RegistryRoot root, const std::string& keyPath, uint32_t access) = 0;

    // RegQueryValueExA: fills at most size bytes of data; on success sets type and size to the
    // value's type and the bytes filled. A value longer than size fails.
    [[nodiscard]] virtual bool queryValue(RegistryKey key, const std::string& valueName,
                                          uint32_t& type, uint8_t* data, uint32_t& size) = 0;

    // RegCloseKey.
    virtual void closeKey(RegistryKey key) = 0;
};

// Every look-up fails: systems without a registry.
class NoRegistryReader final : public RegistryReader {
public:
    std::optional<RegistryKey> openKey(RegistryRoot, const std::string&, uint32_t) override {
        return std::nullopt;
    }
    bool queryValue(RegistryKey, const std::string&, uint32_t&, uint8_t*, uint32_t&) override {
        return false;
    }
    void closeKey(RegistryKey) override {}
};

#ifdef _WIN32
class WindowsRegistryReader final : public RegistryReader {
public:
    std::optional<RegistryKey> openKey(RegistryRoot root, const std::string& keyPath,
                                       uint32_t access) override;
    bool queryValue(RegistryKey key, const std::string& valueName, uint32_t& type, uint8_t* data,
                    uint32_t& size) override;
    void closeKey(RegistryKey key) override;
};
#endif

// The registry of this system: the Windows one, or NoRegistryReader elsewhere.
[[nodiscard]] std::unique_ptr<RegistryReader> makeSystemRegistryReader();

struct RegistryValue {
    bool found = false;
    std::string value; // the text of a REG_SZ value; empty for other types and when not found
};

// One value, read the way the version window always has: open with kRegistryAccess, query into
// kRegistryBufferBytes, drop one trailing NUL, keep the text only for REG_SZ (a value of another
// type is found but empty). The key is closed on every path.
[[nodiscard]] RegistryValue GetKeyValue(RegistryReader& reader, RegistryRoot root,
                                        const std::string& keyPath, const std::string& valueName);

enum class SysInfoStart : uint8_t { Started, Unavailable };

using FileExistsFunction = std::function<bool(const std::string& path)>;
using StartProgramFunction = std::function<bool(const std::string& path)>;

// Finds the system information program through the registry and starts it. Unavailable means the
// window must tell the user that system information cannot be used.
[[nodiscard]] SysInfoStart StartSysInfo(RegistryReader& reader,
                                        const FileExistsFunction& fileExists,
                                        const StartProgramFunction& startProgram);

// The real file test and program start for StartSysInfo. Paths are in the ANSI code page.
[[nodiscard]] bool systemFileExists(const std::string& path);
[[nodiscard]] bool startProgramDetached(const std::string& path);
