#include "base/AddressNames.h"

namespace orvex {

std::vector<std::string> parseEntryList(std::string_view value)
{
    std::vector<std::string> entries;
    for (;;) {
        const size_t pos = value.find(kEntrySeparator);
        if (pos == std::string_view::npos || pos == 0)
            break;
        entries.emplace_back(value.substr(0, pos));
        value.remove_prefix(pos + kEntrySeparator.size());
    }
    return entries;
}

std::string joinEntryList(const std::vector<std::string>& entries)
{
    std::string out;
    for (const std::string& e : entries) {
        std::string clean = e;
        // Drop the line breaks a settings value cannot hold, then separators (in this order:
        // removing a line break can join a separator).
        std::erase_if(clean, [](char c) { return c == '\r' || c == '\n'; });
        for (size_t at; (at = clean.find(kEntrySeparator)) != std::string::npos;)
            clean.erase(at, kEntrySeparator.size());
        // A trailing "~`" or "~" would join with the separator into a false early separator.
        while (!clean.empty() && (clean.back() == '~' || clean.back() == '`'))
            clean.pop_back();
        if (clean.empty())
            continue;
        out += clean;
        out += kEntrySeparator;
    }
    return out;
}

CNamedPosition parseNamedPosition(std::string_view entry)
{
    CNamedPosition p;
    p.entry = std::string(entry);
    size_t start = 0;
    bool first = true;
    for (;;) {
        const size_t comma = entry.find(',', start);
        const std::string_view field =
            entry.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (first)
            p.name = std::string(field);
        else
            p.values.emplace_back(field);
        first = false;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return p;
}

std::vector<CNamedPosition> parseNamedPositions(std::string_view addressNameValue)
{
    std::vector<CNamedPosition> out;
    for (const std::string& e : parseEntryList(addressNameValue))
        out.push_back(parseNamedPosition(e));
    return out;
}

} // namespace orvex
