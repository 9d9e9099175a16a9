#include "base/Settings.h"

#include "base/IniFile.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <sys/stat.h>

namespace orvex {

CSettings::CSettings(std::string iniPath) : m_path(std::move(iniPath)) {}

std::optional<std::string> CSettings::raw(const SettingKey& key) const
{
    CIniFile ini(m_path);
    if (!ini.load())
        return std::nullopt;
    return ini.value(key.section, key.key);
}

bool CSettings::write(const SettingKey& key, std::string_view value)
{
    CIniFile ini(m_path);
    if (!ini.load()) {
        // A missing file starts empty; a file that exists but cannot be read is not replaced.
        struct stat st {};
        if (::stat(m_path.c_str(), &st) == 0)
            return false;
    }
    ini.setValue(key.section, key.key, value);
    return ini.save();
}

int CSettings::parseProfileInt(std::string_view text, int fallback)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i == text.size())
        return fallback;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0; // wraps like the 32-bit original instead of overflowing
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < text.size(); ++i) {
            const char c = text[i];
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<uint32_t>(c - 'A' + 10);
            else
                break;
            value = value * 16u + d;
        }
    } else {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    }
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

std::string CSettings::encodeBinary(std::span<const uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += static_cast<char>('A' + (b & 0x0F));
        out += static_cast<char>('A' + (b >> 4));
    }
    return out;
}

std::optional<std::vector<uint8_t>> CSettings::decodeBinary(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const char lo = text[i];
        const char hi = text[i + 1];
        if (lo < 'A' || lo > 'P' || hi < 'A' || hi > 'P')
            return std::nullopt;
        out.push_back(static_cast<uint8_t>((lo - 'A') | ((hi - 'A') << 4)));
    }
    return out;
}

int CSettings::getInt(const SettingKey& key) const
{
    const int fallback = parseProfileInt(key.defaultValue, 0);
    const std::optional<std::string> value = raw(key);
    return value ? parseProfileInt(*value, fallback) : fallback;
}

std::string CSettings::getText(const SettingKey& key) const
{
    std::optional<std::string> value = raw(key);
    return value ? std::move(*value) : std::string(key.defaultValue);
}

double CSettings::getReal(const SettingKey& key) const
{
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    auto parse = [](const std::string& text, double& out) {
        if (text.empty() || !cLocale)
            return false;
        char* end = nullptr;
        out = strtod_l(text.c_str(), &end, cLocale);
        return end != text.c_str();
    };
    double result = 0.0;
    if (const std::optional<std::string> value = raw(key); value && parse(*value, result))
        return result;
    if (parse(key.defaultValue, result))
        return result;
    return 0.0;
}

std::optional<std::vector<uint8_t>> CSettings::getBinary(const SettingKey& key) const
{
    const std::optional<std::string> value = raw(key);
    if (!value)
        return std::nullopt;
    return decodeBinary(*value);
}

bool CSettings::setInt(const SettingKey& key, long long value)
{
    return write(key, std::to_string(value));
}

bool CSettings::setText(const SettingKey& key, std::string_view value)
{
    return write(key, value);
}

bool CSettings::setBinary(const SettingKey& key, std::span<const uint8_t> bytes)
{
    return write(key, encodeBinary(bytes));
}

} // namespace orvex
