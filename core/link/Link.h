#pragma once
// ILink: one link to the aircraft, whatever carries it. The serial port and the UDP socket (in the
// desktop program) and the in-process simulated aircraft (CSimLink) implement it.
//
// The owner injects the receiver: every byte the link receives is handed to it, in order, on the
// owner's thread. The framing says how the bytes are to be cut into sentences: a byte stream
// (the serial line: sentences may be split or joined anywhere) or datagrams (UDP: each delivery
// is one datagram, handed over whole).

#include <cstdint>
#include <functional>
#include <span>

namespace orvex {

enum class EFraming { ByteStream, Datagrams };

class ILink {
public:
    using Receiver = std::function<void(std::span<const std::uint8_t>)>;

    virtual ~ILink() = default;

    // Opens the link with the endpoint configured beforehand; false when it could not be opened.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Bytes toward the aircraft; dropped while the link is closed.
    virtual void send(std::span<const std::uint8_t> bytes) = 0;
    virtual EFraming framing() const = 0;

    void setReceiver(Receiver receiver) { m_receiver = std::move(receiver); }

protected:
    // Hands received bytes to the receiver (dropped when there is none).
    void deliver(std::span<const std::uint8_t> bytes)
    {
        if (m_receiver)
            m_receiver(bytes);
    }

private:
    Receiver m_receiver;
};

} // namespace orvex
