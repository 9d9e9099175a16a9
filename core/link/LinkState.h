#pragma once
// The link state of the ground station: idle, serial link open, WiFi link active, or a flight
// log loaded for replay. It owns the record store, the live flight log writer and the replay
// engine, and runs the steps that open and close links in one place, so that the store is
// never released before the records it holds have been written to the flight log.
//
// The desktop program drives it: the menu commands call the steps, timer 4 calls flush(), the
// replay timer calls replay().tick(). Work outside the core (closing the serial port, clearing
// the aircraft track on the map, the replay timer, the bars) is asked for through ILinkHooks.

#include "flightlog/FlightLogWriter.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace orvex {

enum class ELinkMode { Idle, Serial, Wifi, Replay };

class ILinkHooks {
  public:
    virtual ~ILinkHooks() = default;
    // Cancel pending I/O and close the serial port.
    virtual void closeSerialPort() {}
    // Clear the aircraft track on the map.
    virtual void clearAircraftTrack() {}
    // The replay timer must stop.
    virtual void stopReplayTimer() {}
    // The flight data bar is hidden when a live link closes.
    virtual void hideFlightDataBar() {}
};

// Local time for naming flight logs; injected so that tests fix it.
using LocalTimeSource = std::function<std::tm()>;
std::tm systemLocalTime();

class CLinkState {
  public:
    explicit CLinkState(LocalTimeSource clock = systemLocalTime);
    ~CLinkState();
    CLinkState(const CLinkState&) = delete;
    CLinkState& operator=(const CLinkState&) = delete;

    void setHooks(ILinkHooks* hooks) { m_hooks = hooks; }
    // The "Hj" directory for live flight logs.
    void setLogDirectory(const std::string& dir) { m_writer.setDirectory(dir); }

    ELinkMode mode() const { return m_mode; }
    bool serialOpen() const { return m_mode == ELinkMode::Serial; }
    bool wifiActive() const { return m_mode == ELinkMode::Wifi; }
    bool replayLoaded() const { return m_mode == ELinkMode::Replay; }
    // Opening a link is offered in idle and replay; closing while a live link is in use.
    bool canOpenLink() const { return m_mode == ELinkMode::Idle || m_mode == ELinkMode::Replay; }
    bool canCloseLink() const { return m_mode == ELinkMode::Serial || m_mode == ELinkMode::Wifi; }

    // Open the serial link: close link or replay, then openPort() opens and configures the
    // port; on success the store is created and the flight log named from the local time.
    // Returns false when the port did not open (the state is then idle).
    bool openSerial(const std::function<bool()>& openPort);
    // Reopen the serial link after a failure closed it: as openSerial(), but the records go on in
    // the flight log of the serial link opened last (its file is named after that link's opening).
    bool reopenSerial(const std::function<bool()>& openPort);
    // Activate the WiFi link: close link or replay, set WiFi active, create the store, name the log.
    void activateWifi();
    // Close link (menu command): a live link is flushed, closed and its store released; a
    // loaded replay stays loaded.
    void closeLink();
    // Close link or replay: whatever is held is flushed (live) and released; the state is idle.
    void closeLinkOrReplay();
    // Load a flight log for replay (close link or replay first). On failure the state is idle
    // and the result carries the error text.
    CReplay::SLoadResult startReplay(const std::string& path);
    // Program end, or a serial failure that ends it: flush and close whatever is open.
    void shutdown();

    // A received telemetry record: appended to the store of a live link. Returns its index, or
    // nothing when no live store is held (no link, or memory exhausted).
    std::optional<std::size_t> storeRecord(const std::uint8_t* record);

    // Timer 4: writes the records not yet in the flight log, only while a live link is open
    // and the store holds records. Silent on errors; a later flush catches up.
    CFlightLogWriter::SFlushResult flush();

    CRecordStore& store() { return m_store; }
    const CRecordStore& store() const { return m_store; }
    CReplay& replay() { return m_replay; }
    const CFlightLogWriter& logWriter() const { return m_writer; }

  private:
    void startLiveStore(bool continueLastSerialLog = false);
    void releaseLive();

    LocalTimeSource m_clock;
    ILinkHooks* m_hooks = nullptr;
    ILinkHooks m_noHooks;
    ELinkMode m_mode = ELinkMode::Idle;
    std::optional<std::tm> m_serialOpenedAt; // names the flight log of the serial link opened last
    CRecordStore m_store;
    CFlightLogWriter m_writer;
    CReplay m_replay{m_store};
};

} // namespace orvex
