// Feeds arbitrary bytes to the settings file reader: the INI parser with its text decoding,
// the profile integer reading, the binary value decoding and the entry-list parsing.

#include "base/AddressNames.h"
#include "base/IniFile.h"
#include "base/Settings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    orvex::CIniFile ini("unused");
    ini.parse(bytes);
    for (const SettingKey* key : orvex::keys::kAll) {
        if (const auto value = ini.value(key->section, key->key)) {
            orvex::CSettings::parseProfileInt(*value, 0);
            if (const auto binary = orvex::CSettings::decodeBinary(*value)) {
                if (orvex::CSettings::encodeBinary(*binary) != *value)
                    __builtin_trap();
            }
            const auto entries = orvex::parseEntryList(*value);
            for (const auto& e : entries)
                orvex::parseNamedPosition(e);
            // Joined entries must read back to the same entries.
            if (orvex::parseEntryList(orvex::joinEntryList(entries)).size() > entries.size())
                __builtin_trap();
        }
    }
    // Rewriting keeps the text parseable and the value readable.
    ini.setValue("Options", "LastMap", bytes.substr(0, 64));
    orvex::CIniFile again("unused");
    again.parse(ini.text());
    if (!again.value("Options", "LastMap"))
        __builtin_trap();

    orvex::parseNamedPositions(bytes);
    orvex::CSettings::decodeBinary(bytes);
    orvex::CSettings::parseProfileInt(bytes, 1);
    return 0;
}
