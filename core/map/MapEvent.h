#pragma once
// The map page's event texts: a five-character code (four digits and ";") followed by a payload
// of comma-terminated fields. Records of several fields ("1001;", "1010;") are each ended by ";".

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The code part of an event ("1001;"), or an empty string when the text is shorter than a code.
std::string mapEventCode(std::string_view text);
// Everything after the five-character code (empty when there is none).
std::string_view mapEventPayload(std::string_view text);

// Numbers in the map texts: leading white space skipped, the longest valid decimal prefix
// converted, 0 when no number starts the text. Out-of-range values saturate instead of
// overflowing.
double parseMapDouble(std::string_view text);
float parseMapFloat(std::string_view text);
int parseMapInt(std::string_view text);

// Reads comma-terminated fields one after another. A last field without its comma reads as
// empty (and converts to 0); reading past the end keeps giving empty fields.
class CMapFieldReader {
public:
    explicit CMapFieldReader(std::string_view payload) : m_rest(payload) {}
    std::string_view nextField();
    double nextDouble() { return parseMapDouble(nextField()); }
    float nextFloat() { return parseMapFloat(nextField()); }
    int nextInt() { return parseMapInt(nextField()); }

private:
    std::string_view m_rest;
};

// The records of a payload, each ended by ";" (the ";" itself not included). Text after the
// last ";" is not a complete record and is left out.
std::vector<std::string_view> splitMapRecords(std::string_view payload);

// Splits a stored list at a three-character separator: every entry followed by the separator.
// Text after the last separator is ignored; empty entries are kept (callers skip them).
std::vector<std::string> splitStoredList(std::string_view text, std::string_view separator);

} // namespace orvex
