#pragma once
// "ParameterSet.txt": the parameter snapshot written from a `$P2T` report. Its 78 bytes (frame
// bytes 4..81) are written as unsigned decimal numbers in 8 lines of 6, 9, 10, 10, 10, 10, 11
// and 12 numbers, one space between numbers. Each snapshot replaces the file; it is written
// beside the old one and renamed over it, so a failed write leaves the previous snapshot whole.

#include <array>
#include <cstdint>
#include <string>

#include "protocol/DownlinkSink.h"

namespace orvex {

inline constexpr const char* kParameterSavedMessage = "Parameter is successfuly Saved!";

// The file contents for the 78 parameter bytes of one snapshot.
std::string parameterSetText(const std::array<std::uint8_t, 78>& values);

class CParameterSetFile {
  public:
    struct SResult {
        bool written = false;
        std::string message; // the text to show: the success message or the failure
    };

    explicit CParameterSetFile(std::string path) : m_path(std::move(path)) {}
    SResult write(const SParameterSnapshot& snapshot);
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

} // namespace orvex
