#pragma once
// CSimLink: the simulated aircraft in-process, behind the link interface. What the ground station
// sends goes through the aircraft's uplink parser to the aircraft; what the aircraft sends on this
// link's side (serial for a byte stream, UDP for datagrams) reaches the receiver, each sentence as
// one delivery. Time comes from the injected clock: every clock tick advances the aircraft to the
// clock's time. No sockets, no threads, no wall clock.
//
// Scripted fault: setSilent(true) drops everything the aircraft sends (the aircraft flies on), as
// a link out of range would; setSilent(false) lets it talk again.

#include <cstdint>
#include <span>

#include "link/Clock.h"
#include "link/Link.h"
#include "protocol/UplinkParser.h"
#include "sim/SimAircraft.h"

namespace orvex {

class CSimLink : public ILink, private ISimOutput {
public:
    CSimLink(IClock& clock, const SSimConfig& config, EFraming framing);
    ~CSimLink() override;
    CSimLink(const CSimLink&) = delete;
    CSimLink& operator=(const CSimLink&) = delete;

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void send(std::span<const std::uint8_t> bytes) override;
    EFraming framing() const override { return m_framing; }

    void setSilent(bool silent) { m_silent = silent; }
    bool silent() const { return m_silent; }
    CSimAircraft& aircraft() { return m_aircraft; }
    // Sentences handed to the receiver.
    std::size_t delivered() const { return m_delivered; }

private:
    void send(ESimLink link, std::span<const std::uint8_t> sentence) override;
    ESimLink side() const { return m_framing == EFraming::ByteStream ? ESimLink::Serial : ESimLink::Udp; }

    IClock& m_clock;
    EFraming m_framing;
    CSimAircraft m_aircraft;
    CUplinkParser m_uplink;
    int m_ticker = 0;
    bool m_open = false;
    bool m_silent = false;
    std::size_t m_delivered = 0;
};

} // namespace orvex
