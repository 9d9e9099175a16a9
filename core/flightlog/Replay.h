#pragma once
// Replay of a flight log file: the file is mapped read-only as the record store and its records
// are shown one per tick through the same record update as live data. Everything here is driven
// by calls (load, tick, seek, speed); the caller owns the real timer and the display.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

class CRecordStore;

inline constexpr int kReplayInitialIntervalMs = 100;
inline constexpr int kProgressRange = 32768; // progress slider 0 .. 32767
inline constexpr int kSpeedSliderMax = 32;

// Replay interval for the speed slider position p (0..32): 10 x 2^((16 - p) / 2) ms up to 16,
// 10 / 2^((p - 16) / 2) ms above, truncated (0 -> 2560, 16 -> 10, 32 -> 0).
int replayIntervalForSpeed(int p);
// Progress slider value for a position: position x 32768 / count, 0 when count is 0.
int replayProgress(std::size_t position, std::size_t count);
// Seek target for the progress slider position p (0..32767): count x p / 32768.
std::size_t replaySeekIndex(std::size_t count, int p);
// The playback bar's time: "hh:mm:ss  mm:ss / mm:ss", the time of day of the record shown, then
// the time from the first record shown to it and to the last good record, from the records' own
// clocks (bytes 28-30; a flight over midnight counts on). A clock that is no time of day shows
// "--:--:--" and makes the durations "--:--".
std::string replayClockText(const std::uint8_t* shown, const std::uint8_t* first, const std::uint8_t* last);

class CReplay {
  public:
    struct SLoadResult {
        bool ok = false;
        std::string error;             // when !ok
        std::size_t startPosition = 0; // first record that is not empty (count if none)
        // The record copied into the current telemetry record while skipping empty records:
        // the one at startPosition, or the last empty one when all are empty; none for count 0.
        std::optional<std::size_t> currentRecord;
    };
    struct STickResult {
        std::optional<std::size_t> show; // record to show (checksum passed): track angle + record update
        std::optional<int> progress;     // new progress slider value (when count > 0)
    };
    struct SSeekResult {
        std::size_t position = 0;
        // Record that becomes the current telemetry record (the last record before the new
        // position that passes the checksum and position checks); none when there is none.
        std::optional<std::size_t> currentRecord;
        std::optional<int> progress;
    };

    explicit CReplay(CRecordStore& store) : m_store(store) {}

    // Maps the file into the store (the store's previous contents are released), clears the
    // track-angle table and skips empty records. The replay then runs (timer on).
    SLoadResult load(const std::string& path);
    // Stops the replay timer; the store is released by the link state.
    void stop() { m_running = false; }
    bool isRunning() const { return m_running; }

    STickResult tick();
    SSeekResult seek(int sliderPosition);

    // replayClockText() for the replay position; empty when no record is loaded.
    std::string clockText() const;
    // The last record is shown (or there is none): ticks change nothing until a seek goes back.
    bool atEnd() const;


  private:
    CRecordStore& m_store;
    bool m_running = false;
    std::size_t m_firstShown = 0; // where the replay started
    std::size_t m_lastGood = 0;   // the last record that is not empty and passes the checksum
};

// Record passes the checks the record update applies: latitude -90..90 and longitude
// -180..180, neither NaN.
bool recordPositionValid(const std::uint8_t* record);

} // namespace orvex
