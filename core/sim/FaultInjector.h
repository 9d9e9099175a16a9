#pragma once
// Faults put on the simulated aircraft's outgoing sentences, for drills and tests: a sentence may
// be lost, its bytes flipped (after its checksum was computed, so the receiver sees a corrupted
// frame, not a different valid one), or split in two writes; after a set time everything is
// silenced, as a lost link, for good or for a while. The random choices come from one seeded generator, so a seed repeats a
// run's faults for the same sequence of sentences.

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace orvex {

struct SFaultConfig {
    double lossProbability = 0;     // per sentence
    double corruptProbability = 0;  // per byte
    bool split = false;             // every sentence of two bytes or more in two pieces
    double silentAfterSeconds = -1; // negative: never
    uint64_t seed = 1;
    double silentForSeconds = -1; // how long the silence lasts; negative: to the end
};

class CFaultInjector {
  public:
    using Piece = std::vector<uint8_t>;

    explicit CFaultInjector(const SFaultConfig& config);

    // The pieces to write for one sentence, in order; none when the sentence is lost or the link
    // has gone silent. `elapsedMs` counts from the start of the run.
    std::vector<Piece> apply(std::span<const uint8_t> sentence, int64_t elapsedMs);

    bool silent(int64_t elapsedMs) const;

    std::size_t sentencesLost() const { return m_lost; }
    std::size_t sentencesSilenced() const { return m_silenced; }
    std::size_t bytesCorrupted() const { return m_corrupted; }
    std::size_t sentencesSplit() const { return m_split; }

  private:
    SFaultConfig m_config;
    std::mt19937_64 m_random;
    std::size_t m_lost = 0;
    std::size_t m_silenced = 0;
    std::size_t m_corrupted = 0;
    std::size_t m_split = 0;
};

// Notes the ground station's heartbeat: lost once no heartbeat came for kTimeoutMs after at least
// one did, back at the next heartbeat after that.
class CHeartbeatWatch {
  public:
    static constexpr int64_t kTimeoutMs = 3000;

    // A heartbeat arrived; true when it ends a loss.
    bool beat(int64_t nowMs);
    // True once when the heartbeat has just been lost.
    bool checkLost(int64_t nowMs);

    bool heard() const { return m_heard; }
    bool lost() const { return m_lost; }
    std::size_t beats() const { return m_beats; }
    // When checkLost would next report a loss (or a large value when it cannot).
    int64_t deadlineMs() const;

  private:
    bool m_heard = false;
    bool m_lost = false;
    int64_t m_lastMs = 0;
    std::size_t m_beats = 0;
};

} // namespace orvex
