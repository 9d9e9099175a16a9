#pragma once
// The entry lists stored in Options/AddressName (named positions of the location search) and
// Options/PlaceMark: each entry is followed by the three-character separator "~`~".
//
// Reading takes entries up to each separator and stops at the first point where no further
// separator follows at a position greater than 0 (so an empty entry ends the list too); text
// after the last separator is ignored. An AddressName entry is four comma-separated fields:
// a name and three values written by the location search.

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

inline constexpr std::string_view kEntrySeparator = "~`~";
// Item data of the first named position in the navigation bar's position tree.
inline constexpr int kNamedPositionItemBase = 5000;

// The entries of a stored value, in order.
std::vector<std::string> parseEntryList(std::string_view value);
// The stored value for a list of entries: every entry followed by the separator. Entries that
// are empty or contain the separator cannot be read back as they were; such characters are
// removed (an empty entry is skipped) so that the list stays readable.
std::string joinEntryList(const std::vector<std::string>& entries);

// One AddressName entry split at its commas: the name is the first field.
struct CNamedPosition {
    std::string name;
    std::vector<std::string> values; // the fields after the name (three when well formed)
    std::string entry;               // the whole entry, fields joined by commas
};
CNamedPosition parseNamedPosition(std::string_view entry);
std::vector<CNamedPosition> parseNamedPositions(std::string_view addressNameValue);

} // namespace orvex
