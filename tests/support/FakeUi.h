#pragma once
// The ground station's windows as a test sees them: every box, telemetry notification and map
// script call is written down; a question is answered with `answer`.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "station/GroundStation.h"

namespace orvex {

struct SFakeUi : IGroundStationUi {
    std::vector<std::string> messages;
    bool answer = false;
    std::vector<SAircraftMarker> markers;
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::pair<std::string, std::vector<std::string>>> scripts;

    void showMessage(const std::string& text) override
    {
        messages.push_back(text);
    }
    bool askYesNo(const std::string&, const std::string&, bool) override { return answer; }
    void telemetryNotify(std::span<const std::uint8_t> record, const SAircraftMarker& marker) override
    {
        records.emplace_back(record.begin(), record.end());
        markers.push_back(marker);
    }
    void callMapScript(const std::string& fn, const std::vector<std::string>& args) override
    {
        scripts.emplace_back(fn, args);
    }
};

// An outgoing link: every send() written down.
struct SSentBytes : IByteOutput {
    std::vector<std::vector<std::uint8_t>> sent;
    void send(std::span<const std::uint8_t> bytes) override { sent.emplace_back(bytes.begin(), bytes.end()); }
};

} // namespace orvex
