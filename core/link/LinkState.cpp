#include "link/LinkState.h"

namespace orvex {

std::tm systemLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

CLinkState::CLinkState(LocalTimeSource clock) : m_clock(std::move(clock)) {}

CLinkState::~CLinkState()
{
    m_hooks = nullptr; // the owner's windows may be gone; the flush still happens
    shutdown();
}

void CLinkState::startLiveStore(bool continueLastSerialLog)
{
    m_store.create(); // when address space cannot be reserved, records are shown but not stored
    const std::tm openedAt = continueLastSerialLog && m_serialOpenedAt ? *m_serialOpenedAt : m_clock();
    if (m_mode == ELinkMode::Serial)
        m_serialOpenedAt = openedAt;
    m_writer.startLog(openedAt);
}

// Flush, then release the live store. The flush comes first so that the records of the last
// seconds before a close reach the flight log.
void CLinkState::releaseLive()
{
    if (m_store.count() > 0) m_writer.flush(m_store);
    m_writer.clearLog();
    m_store.release();
}

bool CLinkState::openSerial(const std::function<bool()>& openPort)
{
    closeLinkOrReplay();
    if (!openPort || !openPort()) return false;
    m_mode = ELinkMode::Serial;
    startLiveStore();
    return true;
}

bool CLinkState::reopenSerial(const std::function<bool()>& openPort)
{
    closeLinkOrReplay();
    if (!openPort || !openPort()) return false;
    m_mode = ELinkMode::Serial;
    startLiveStore(true);
    return true;
}

void CLinkState::activateWifi()
{
    closeLinkOrReplay();
    m_mode = ELinkMode::Wifi;
    startLiveStore();
}

void CLinkState::closeLink()
{
    ILinkHooks& hooks = m_hooks ? *m_hooks : m_noHooks;
    if (m_mode == ELinkMode::Wifi) {
        m_mode = ELinkMode::Idle; // no more datagrams are consumed from here on
        releaseLive();
        hooks.hideFlightDataBar();
        hooks.clearAircraftTrack();
    } else if (m_mode == ELinkMode::Serial) {
        hooks.stopReplayTimer();
        hooks.closeSerialPort();
        m_mode = ELinkMode::Idle;
        releaseLive();
        hooks.hideFlightDataBar();
        hooks.clearAircraftTrack();
    }
}

void CLinkState::closeLinkOrReplay()
{
    ILinkHooks& hooks = m_hooks ? *m_hooks : m_noHooks;
    const bool wasHeld = m_mode != ELinkMode::Idle || m_store.isHeld();
    if (m_mode == ELinkMode::Wifi) {
        m_mode = ELinkMode::Idle;
        releaseLive();
        hooks.hideFlightDataBar();
    } else if (m_mode == ELinkMode::Serial) {
        hooks.closeSerialPort();
        m_mode = ELinkMode::Idle;
        releaseLive();
    } else if (m_mode == ELinkMode::Replay) {
        m_replay.stop();
        m_store.release();
        m_mode = ELinkMode::Idle;
    }
    if (wasHeld) hooks.clearAircraftTrack();
    m_replay.stop();
    hooks.stopReplayTimer();
}

CReplay::SLoadResult CLinkState::startReplay(const std::string& path)
{
    closeLinkOrReplay();
    closeLink();
    CReplay::SLoadResult result = m_replay.load(path);
    m_mode = result.ok ? ELinkMode::Replay : ELinkMode::Idle;
    return result;
}

void CLinkState::shutdown()
{
    closeLink();
    if (m_mode == ELinkMode::Replay) closeLinkOrReplay();
}

std::optional<std::size_t> CLinkState::storeRecord(const std::uint8_t* record)
{
    if (m_mode != ELinkMode::Serial && m_mode != ELinkMode::Wifi) return std::nullopt;
    if (!m_store.append(record)) return std::nullopt;
    const std::size_t index = m_store.count() - 1;
    m_store.setDisplayIndex(index);
    return index;
}

CFlightLogWriter::SFlushResult CLinkState::flush()
{
    if ((m_mode != ELinkMode::Serial && m_mode != ELinkMode::Wifi) || m_store.count() == 0) return {};
    return m_writer.flush(m_store);
}

} // namespace orvex
