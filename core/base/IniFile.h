#pragma once
// Reader and writer of INI files with the Windows profile semantics.
//
//  - "[Section]" lines open a section; "key=value" lines inside it hold values;
//  - section and key names match without regard to ASCII case, the first match wins;
//  - names and values are trimmed of blanks; a value in matching double or single quotes
//    loses the quotes (as the Windows profile functions do);
//  - every other line (comments, blank lines, unknown keys and sections) is kept as it was
//    when the file is rewritten;
//  - a missing file reads as empty and is created by the first save.
//
// Files may come from Chinese Windows: text that is not valid UTF-8 is decoded as GB18030.
// Lines may end in CR LF or LF. Files are always written as UTF-8, atomically: a temporary file
// in the same directory is written, flushed to disk and renamed over the old one, so that a
// crash or a full disk never leaves a half-written file behind.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class CIniFile {
public:
    explicit CIniFile(std::string path);

    // Reads the file. Returns false (and holds no lines) when it is missing or unreadable.
    bool load();
    // Replaces the contents with the given file text (any encoding accepted by load()).
    void parse(std::string_view fileBytes);

    // The value of `key` in `section`, or nothing when either is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Sets (or adds) `key` in `section` (added at the end of the file when missing). Carriage
    // returns and line feeds in the value are replaced by blanks: a value is one line.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; returns whether it was there.
    bool removeValue(std::string_view section, std::string_view key);

    // Writes the whole file atomically. False when it could not be written; the old file is
    // then untouched.
    bool save() const;
    // The text that save() writes.
    std::string text() const;

    const std::string& path() const { return m_path; }
    const std::vector<std::string>& lines() const { return m_lines; }

    // File bytes to UTF-8: a leading UTF-8 byte-order mark is dropped; valid UTF-8 is kept;
    // anything else is decoded as GB18030 (undecodable bytes become U+FFFD).
    static std::string decodeText(std::string_view bytes);
    static bool isValidUtf8(std::string_view bytes);

private:
    struct CKeyLocation {
        bool sectionFound = false;
        size_t sectionLine = 0; // index of the "[...]" line
        size_t sectionEnd = 0;  // one past the last line of the section
        bool keyFound = false;
        size_t keyLine = 0;
    };
    CKeyLocation locate(std::string_view section, std::string_view key) const;

    std::string m_path;
    std::vector<std::string> m_lines;
    bool m_crlf = true; // line end used when writing (kept from the file that was read)
    bool m_bom = false; // the file began with a UTF-8 byte order mark: written back in front
};

// Replaces the file at `path` with `data` atomically: a temporary file in the same directory is
// written, flushed to disk and renamed over it (keeping the old file's permissions). False when
// any step fails; the old file is then untouched and no temporary file is left.
bool writeFileAtomically(const std::string& path, std::string_view data);

} // namespace orvex
