#pragma once
// The registry reader: one process-wide object answering GetValue(hive, key path, value name,
// default). On Windows it reads the real registry (32-bit view); elsewhere an INI-style file per
// hive whose section names are key paths exactly as written, e.g. [SOFTWARE\BRENLAK
// GmbH\Korvex\4.0].
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

namespace platform {

constexpr std::uint32_t HKEY_LOCAL_MACHINE_HIVE = 0x80000002u;

// A value as the registry hands it out: nothing (absent, no default), a number or text.
using RegistryValue = std::variant<std::monostate, std::int64_t, std::string>;

class RegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class RegistryReader {
  public:
    // The one reader of the process, created on first use.
    static RegistryReader& Registry();

    // The data stored under valueName in keyPath, or fallback when the file, key or value is
    // absent. Throws RegistryError when the hive is unknown or the store exists but cannot be read.
    RegistryValue GetValue(std::uint32_t hive, const std::string& keyPath,
                           const std::string& valueName,
                           const RegistryValue& fallback = std::monostate{}) const;

    // Where the file for a hive is looked for (not on Windows): $TRAVIX_REGISTRY_DIR if set, else
    // /etc/travix/registry; the file is named after the hive, e.g. HKEY_LOCAL_MACHINE.ini.
    static std::string HiveFilePath(std::uint32_t hive);
};

// Converts a registry value to a 32-bit integer the way the product expects (numbers, or text of
// digits); throws RegistryError when it cannot become one.
std::int32_t RegistryValueToInt32(const RegistryValue& value);

// Converts a registry value to text (absent -> empty text, numbers -> decimal digits).
std::string RegistryValueToText(const RegistryValue& value);

}  // namespace platform
