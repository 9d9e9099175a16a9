#pragma once
// The record store: every telemetry record of the current link or replay, 99 bytes each, in
// arrival order, with the display index and the track-angle table beside it.
//
// Live recording reserves address space in regions of 64 MiB (room for 677,838 whole records)
// and commits memory page by page as records arrive. When a link produces more records than
// one region holds, a further region is reserved and recording continues there: records never
// move once written, none is dropped, and record i is always found at region i / 677,838,
// offset 99 x (i % 677,838).
//
// A replay instead maps the whole flight log file read-only: one region, any size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

inline constexpr std::size_t kRecordSize = 99;
inline constexpr std::size_t kStoreRegionBytes = 64u * 1024u * 1024u;
inline constexpr std::size_t kRecordsPerRegion = kStoreRegionBytes / kRecordSize; // 677,838

// Checksum test of a stored record: the 8-bit sum of bytes 0..97 equals byte 98.
bool recordChecksumOk(const std::uint8_t* record);
// A record is empty when the four floats at 4, 8, 12 and 16 are all exactly 0.0.
bool recordIsEmpty(const std::uint8_t* record);

class CRecordStore {
  public:
    CRecordStore();
    ~CRecordStore();
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // Live store: releases whatever is held, reserves the first region and commits its first
    // page. Returns false when the address space cannot be reserved (nothing is held then).
    bool create();
    // Replay store: releases whatever is held and maps the file read-only. count = size / 99.
    // A file of 0 bytes loads with count 0. On failure returns false with a message in *error
    // and holds nothing.
    bool loadFile(const std::string& path, std::string* error);
    void release();

    bool isHeld() const { return m_held; }
    bool isReadOnly() const { return m_readOnly; }

    // Appends one 99-byte record to a live store. False when no live store is held or memory
    // cannot be committed; the record is then not stored.
    bool append(const std::uint8_t* record);

    std::size_t count() const { return m_count; }
    // Record i (i < count()).
    const std::uint8_t* record(std::size_t i) const;
    // Records i, i+1, ... up to the end of the region holding record i, at most `wanted`;
    // returns how many are contiguous from record(i). Used to write the log in big pieces.
    std::size_t contiguousFrom(std::size_t i, std::size_t wanted) const;

    // Display index: the record last shown (replay position; the newest record when live).
    std::size_t displayIndex() const { return m_displayIndex; }
    void setDisplayIndex(std::size_t index) { m_displayIndex = index; }

    // Track-angle table, in degrees, indexed by record; entries not yet set read 0.
    void setTrackAngle(std::size_t index, double degrees);
    double trackAngle(std::size_t index) const;
    bool hasTrackAngle(std::size_t index) const { return index < m_trackAngles.size(); }
    void clearTrackAngles() { m_trackAngles.clear(); }

    // Regions reserved by a live store (1 until it passes 677,838 records).
    std::size_t regionCount() const { return m_regions.size(); }

  private:
    struct SRegion {
        std::uint8_t* base = nullptr;
        std::size_t reserved = 0;  // bytes of address space
        std::size_t committed = 0; // bytes readable and writable from base
    };
    bool addRegion();
    bool commit(SRegion& region, std::size_t endOffset);

    std::vector<SRegion> m_regions;
    std::uint8_t* m_fileView = nullptr; // replay: read-only mapping
    std::size_t m_fileViewBytes = 0;
    bool m_held = false;
    bool m_readOnly = false;
    std::size_t m_count = 0;
    std::size_t m_displayIndex = 0;
    std::vector<double> m_trackAngles;
};

} // namespace orvex
