#pragma once
// CGroundStation: the one object that holds the state every window of the ground station shares.
//
// It lives as long as the program (the Qt application object owns it) and is touched only on the
// user-interface thread. It never talks to a window directly: everything a window must do (message
// boxes, Yes/No questions, the telemetry notification, map script calls) goes through
// IGroundStationUi, which the main frame implements and tests fake. Bytes leave through the uplink
// router (uplink()), whose two outputs are the links given to attachLink() (a byte-stream link is
// the serial output, a datagram link the WiFi output).
//
// Received bytes: every link hands its bytes to receiveBytes() with its framing. The bytes are queued
// and handed to the serial parser (byte stream) or the UDP sentence step (datagrams), which report
// to this object as their
// IDownlinkSink. While a parser call runs (a decoder may show a message box, whose nested event loop
// lets the transports deliver more bytes) new bytes are only queued, and are parsed, unlost and in
// order, once that call has returned: the parsers are never re-entered.
//
// Boxes raised by downlink sentences are queued and opened (openDownlinkBox) only after the parser
// call has returned, one at a time and in the order the sentences came; records go on being
// parsed, shown and logged while a box is open.
//
// Downlink events: this object handles the acknowledgements (message boxes with their exact texts),
// the $SATEL question ("$SAHRS" five times on the serial link on Yes), the $PAED photo mark and the
// record update of every telemetry record (the telemetry notification); every event is then offered
// to the sinks added with addDownlinkSink(), in the order they were added (record store, route
// upload echo check, configuration dialogs, photo file: each subsystem adds its own sink).
//
// Time-driven work is ticked by the caller (the main frame's timers; tests call the ticks directly):
//   voiceTick()      timer 3, every 1000 ms
//   flushTick()      timer 4, every 5000 ms
//   uploadTick()     timer 5, every 600 ms
//   heartbeatTick()  timer 8, every 1000 ms: the heartbeat frame on every open link
//   linkWatchTick()  the link controller's timer, every 200 ms: the live link's watch (lost /
//                    restored, the link panes), on the station's clock (setClock)
// flushTick() writes the live link's new records to the flight log, uploadTick() runs the route
// upload step; the voice announcer hooks into voiceTick() with setVoiceTickHook.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/AddressNames.h"
#include "base/AppPaths.h"
#include "base/Settings.h"
#include "config/ConfigDialogs.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/LinkWatch.h"
#include "link/LinkState.h"
#include "photo/ParameterSetFile.h"
#include "photo/PhotoDataFile.h"
#include "protocol/DownlinkSink.h"
#include "protocol/SerialParser.h"
#include "protocol/TelemetryRecord.h"
#include "protocol/UdpSentenceStep.h"
#include "protocol/Uplink.h"
#include "station/RouteController.h"

namespace orvex {

// Where the aircraft marker goes for one telemetry record.
struct SAircraftMarker {
    double latitude = 0;
    double longitude = 0;
    int altitudeM = 0;      // altitude / 10 (toward zero) + the AltitudeGPS correction
    int targetWaypoint = 0; // index from 0
    double headingDeg = 0;  // heading x 180 x 0.31830988654751274
};

// What the core asks of the windows. Implemented by the main frame.
class IGroundStationUi {
public:
    virtual ~IGroundStationUi() = default;
    // A modal box with the given text and one OK button.
    virtual void showMessage(const std::string& text) = 0;
    // A modal Yes/No question; returns true on Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) = 0;
    // The telemetry notification: the one place where a record (99 bytes) reaches the windows.
    virtual void telemetryNotify(std::span<const std::uint8_t> record, const SAircraftMarker& marker) = 0;
    // Calls a script function of the map page with string arguments; the result is not used.
    virtual void callMapScript(const std::string& function, const std::vector<std::string>& args) = 0;
    // The link panes of the status bar: the outage text (empty: hidden), red while the link is
    // lost, and the records-per-second text (empty: no live link).
    virtual void showLinkHealth(const std::string& outageText, bool lost, const std::string& rateText)
    {
        (void)outageText, (void)lost, (void)rateText;
    }
    // A passing word on the status line ("航线上传完成：N 个航点").
    virtual void showStatus(const std::string& text) { (void)text; }
    // A box raised by a downlink sentence (an acknowledgement, the $SATEL question, a file
    // report), opened without blocking: `closed` runs once the operator has answered (true = Yes;
    // an OK box passes false). The windows override this; the default asks modally.
    virtual void openDownlinkBox(const std::string& text, bool question, std::function<void(bool)> closed);
    // The shown telemetry went stale (true: panels and instruments keep their last values,
    // greyed) or is live again (false).
    virtual void showTelemetryStale(bool stale) { (void)stale; }
};

// "轨迹回放(&T)" while a live link is open asks this first (caption "提示", No the default).
inline constexpr const char* kReplayEndsLinkQuestion = "正在与飞机连接，回放将断开连接。确定要回放吗？";
inline constexpr const char* kReplayEndsLinkCaption = "提示";

// How the main window is placed at start, from Options/Position.
enum class EWindowPlacement { Normal, Maximised, Rectangle };
struct SWindowPlacement {
    EWindowPlacement kind = EWindowPlacement::Normal;
    int left = 0, top = 0, right = 0, bottom = 0;
};

class CGroundStation : public IDownlinkSink {
public:
    static constexpr int kMapToolTextEntry = 100;

    explicit CGroundStation(const CAppPaths& paths);
    ~CGroundStation() override;
    CGroundStation(const CGroundStation&) = delete;
    CGroundStation& operator=(const CGroundStation&) = delete;

    // ---------------------------------------------------------------- windows
    void setUi(IGroundStationUi* ui) { m_ui = ui; }
    IGroundStationUi* ui() const { return m_ui; }
    // The map page's script functions: every script call of the program goes through this
    // catalogue to the windows' callMapScript (dropped while no windows are set).
    CMapScript& map() { return m_map; }

    // ---------------------------------------------------------------- paths and settings
    // The executable directory (map pages) and the home directory (Korva.ini, Hj, PhotoData.txt).
    const CAppPaths& paths() const { return m_paths; }
    // Korva.ini in the home directory: every settings read and write of the program.
    CSettings& settings() { return m_settings; }
    const CSettings& settings() const { return m_settings; }

    // Start-up reads: WayPoint/FenPin, WayPoint/AltitudeGPS and the named-position list of
    // Options/AddressName. rereadWayPointSettings() also runs after the waypoint options apply.
    void loadStartupSettings();
    void rereadWayPointSettings();
    int fenPin() const { return m_fenPin; }
    float altitudeGps() const { return m_altitudeGps; }
    // Item data of entry i in the position tree: kNamedPositionItemBase + i.

    // Options/Position -> how the window is placed; and the marker written on exit.
    static SWindowPlacement placementFromPosition(const std::optional<std::vector<std::uint8_t>>& bytes);
    static std::vector<std::uint8_t> maximisedPositionMarker();

    // Endpoints of this run (command line; defaults otherwise).
    struct SEndpoints {
        std::string serialPortOverride;  // --connect serial:PORT; empty = Settings/COMPORT
        std::string wifiAddressOverride; // --connect wifi:ADDRESS; empty = Settings/WifiAddress
        int udpLocalPort = 9000;         // --udp-port
        int wifiRemotePort = 55555;      // --wifi-port
        int httpPort = 8001;             // --http-port
    };
    SEndpoints& endpoints() { return m_endpoints; }
    const SEndpoints& endpoints() const { return m_endpoints; }

    // ---------------------------------------------------------------- links
    // The link flags, kept by the link steps below from the link state: serial port open, WiFi
    // link active.
    bool serialOpen() const { return m_uplink.serialOpen(); }
    bool wifiActive() const { return m_uplink.wifiActive(); }
    bool anyLinkOpen() const { return serialOpen() || wifiActive(); }
    // The transports' byte outputs (nullptr detaches; bytes are then dropped).
    void attachSerialOutput(IByteOutput* output) { m_serialOut.target = output; }
    void attachWifiOutput(IByteOutput* output) { m_wifiOut.target = output; }
    // Wires a link both ways: its received bytes come to receiveBytes() with its framing, and the
    // uplink output of that framing sends through it. detachLink() undoes both.
    void attachLink(ILink& link);
    void detachLink(ILink& link);
    // Send on both links / on the serial link.
    CUplinkRouter& uplink() { return m_uplink; }

    // ---------------------------------------------------------------- received bytes
    // The one entry for received bytes: a byte stream goes to the serial parser, datagrams to the
    // UDP sentence step (each call one datagram).
    void receiveBytes(EFraming framing, std::span<const std::uint8_t> bytes);
    // The serial receive state is reset when the port is opened.
    void resetSerialReceiver() { m_serialParser.reset(); }
    bool parsing() const { return m_parsing; }
    // Downlink boxes waiting for the one that is open (or for the parser call to return).
    std::size_t queuedBoxCount() const { return m_boxes.size(); }
    std::size_t pendingByteCount() const { return m_pendingSerial.size() + m_pendingWifi.size(); }
    // Further sinks that receive every downlink event after this object's own handling.
    void addDownlinkSink(IDownlinkSink* sink) { m_sinks.push_back(sink); }
    void removeDownlinkSink(IDownlinkSink* sink);

    // ---------------------------------------------------------------- current record
    // The current telemetry record; its latitude holds 90.0 until the first valid record.
    const CTelemetryRecord& currentRecord() const { return m_current; }
    // The record update: validation, copy to the current record, the telemetry notification
    // (receiverOn and storedWaypointCount kept, panels and map through the windows), then the
    // record hooks (the voice announcer). Returns false for a record that fails validation.
    bool recordUpdate(const CTelemetryRecord& record);
    // The marker values for one record, with the current AltitudeGPS correction.
    SAircraftMarker markerFor(const CTelemetryRecord& record) const;
    // A live link is open and the current record says the aircraft is flying (isAirborne): the
    // calibrations ask first.
    bool airborne() const { return anyLinkOpen() && isAirborne(m_current); }
    // The shown telemetry is no longer live ("关闭连接", or a lost link): the windows keep the
    // last values greyed and the map greys the aircraft (setPlaneStale "1"), until the next
    // record shown makes it live again ("0"). Only changes reach the windows.
    void setTelemetryStale(bool stale);
    bool telemetryStale() const { return m_telemetryStale; }
    int receiverOn() const { return m_receiverOn; }
    int storedWaypointCount() const { return m_storedWaypointCount; }
    using RecordHook = std::function<void(const CTelemetryRecord&)>;
    void addRecordHook(RecordHook hook) { m_recordHooks.push_back(std::move(hook)); }

    // ---------------------------------------------------------------- dialogs and route flags
    bool routeSaved() const { return m_routeSaved; }
    void setRouteSaved(bool saved) { m_routeSaved = saved; }
    // Whether the current route has points (for the enable rules).
    bool routeHasPoints() const { return m_routeController && !m_routeController->route().empty(); }
    // Dialog open flags: the configuration dialogs show their downlink sentences only when open.
    bool parameterDialogOpen = false;
    bool customParameterDialogOpen = false;
    bool compassDialogOpen = false;

    // ---------------------------------------------------------------- replay speed
    int replayIntervalMs() const { return m_replayIntervalMs; }
    void setReplayIntervalMs(int ms) { m_replayIntervalMs = ms; }
    // The speed slider's replay interval is replayIntervalForSpeed() of flightlog/Replay.h.

    // ---------------------------------------------------------------- map interaction state
    int mapToolMode() const { return m_mapToolMode; }
    void setMapToolMode(int mode) { m_mapToolMode = mode; }
    int textEntryMarker() const { return m_textEntryMarker; }
    void setTextEntryMarker(int marker) { m_textEntryMarker = marker; }
    bool textEntryInProgress() const
    {
        return m_mapToolMode == kMapToolTextEntry || m_textEntryMarker == kMapToolTextEntry;
    }

    // ---------------------------------------------------------------- ticks
    void voiceTick();
    void flushTick();
    void uploadTick();
    void heartbeatTick();
    using TickHook = std::function<void()>;
    void setVoiceTickHook(TickHook hook) { m_voiceTick = std::move(hook); }

    // ---------------------------------------------------------------- IDownlinkSink
    void onTelemetryRecord(const CTelemetryRecord& record, EDownlinkLink link) override;
    void onNmeaLine(const SNmeaLine& line) override;
    void onNmeaPosition(const CTelemetryRecord& record) override;
    void onAcknowledgement(const SAcknowledgement& ack) override;
    void onAlignmentQuestion(const SAcknowledgement& ack) override;
    void onParameterValues(const SParameterValues& values, EDownlinkLink link) override;
    void onCompassPoint(const SCompassPoint& point, EDownlinkLink link) override;
    void onCompassCalibration(const SCompassCalibration& calibration) override;
    void onCustomParameters(const SCustomParameters& parameters, EDownlinkLink link) override;
    void onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink link) override;
    void onParameterSnapshot(const SParameterSnapshot& snapshot) override;
    void onPhotoReport(const SPhotoReport& report) override;
    void onPhotoMark(const SPhotoMark& mark) override;
    void onWaypointIndexEcho(const SWaypointIndexEcho& echo) override;
    void onRouteSummary(const SRouteSummary& summary) override;
    void onServoChannels(const SServoChannels& channels) override;
    void onOpaqueFrame(std::string_view keyword, std::span<const uint8_t> frame) override;
    void onDropped(const SDrop& drop) override;
    void onSentence(std::string_view keyword, EDownlinkLink link) override;

    // ---------------------------------------------------------------- link health
    // The live link's watch (lost / restored, counters since the link opened), read on the
    // station's clock: a steady clock unless another is set (tests set a manual one).
    void setClock(IClock& clock) { m_clock = &clock; }
    IClock& clock() { return *m_clock; }
    CLinkWatch& linkWatch() { return m_linkWatch; }
    // Time moved on (the main frame's link timer, or a test's clock): raises a lost link and
    // refreshes the link panes.
    void linkWatchTick();
    // Run when the live link is lost (true) or restored (false), after the stale look changed.
    using LinkChangeHook = std::function<void(bool lost)>;
    void addLinkChangeHook(LinkChangeHook hook) { m_linkChangeHooks.push_back(std::move(hook)); }

    // ================================================================ links, record store, flight log
    // The link state (idle, serial link open, WiFi link active, replay loaded) with the record
    // store, the flight log writer and the replay. Every step that releases the store first
    // writes the records not yet in the flight log. Each step below also keeps the uplink
    // router's link flags (serialOpen(), wifiActive()) equal to the link state.
    CLinkState& linkState() { return m_linkState; }
    const CLinkState& linkState() const { return m_linkState; }
    // Work outside the core that the link steps ask for (close the serial port, stop the replay
    // timer, hide the flight data bar); clearing the aircraft track is a map script call made here.
    void setLinkHooks(ILinkHooks* hooks) { m_linkHooks.outer = hooks; }
    // Command 73: openPort() opens and configures the port; false when it did not open.
    bool openSerialLink(const std::function<bool()>& openPort);
    // The serial link back after a failure closed it: as openSerialLink(), the flight log of the
    // serial link opened last continues.
    bool reopenSerialLink(const std::function<bool()>& openPort);
    // Command 32878.
    void activateWifiLink();
    // Command 32788 (a loaded replay stays).
    void closeLink();
    void closeLinkOrReplay();
    // Command 74 before its file dialog: false when the operator keeps the live link that is open
    // (the question above answered No); true at once when no live link is open.
    bool confirmReplay();
    // Command 74 once a file is chosen: the current record becomes the first record that is not
    // empty. On failure the result carries the error text and the state is idle.
    CReplay::SLoadResult startReplay(const std::string& path);
    // The replay timer: shows the next record (track angle, record update); the progress value.
    std::optional<int> replayTick();
    // The progress slider: clears the aircraft track, makes the last good record before the new
    // position current and moves the aircraft marker there; the progress value.
    std::optional<int> replaySeek(int sliderPosition);
    // The playback bar's time beside the progress slider (CReplay::clockText()).
    std::string replayClockText() { return m_linkState.replay().clockText(); }
    // The replay has shown its last record (CReplay::atEnd()): the timer can rest until a seek.
    bool replayAtEnd() { return m_linkState.replay().atEnd(); }
    // Program end or a serial failure that ends it: the flight log is written, the link closed.
    void shutdownLinks();
    // A "$STP" on a live link: appended to the store with its track angle (onTelemetryRecord).
    void storeTelemetryRecord(const CTelemetryRecord& record);
    // "PhotoData.txt" ($QUZA) and "ParameterSet.txt" ($P2T); messages go to the operator.
    CPhotoDataFile& photoDataFile() { return m_photoDataFile; }
    CParameterSetFile& parameterSetFile() { return m_parameterSetFile; }

    // ================================================================ route and upload
    // The current route with its commands, the upload step (run by uploadTick() with the reported
    // storedWaypointCount) and the "$SETD" echo check (a downlink sink added at construction).
    // Its messages go to showMessage(), its map calls through map(), its saved flag here.
    // routeHasPoints() answers from this route.
    CRouteController& routeController() { return *m_routeController; }
    CSkyWay& route() { return m_routeController->route(); }
    // "验证航线(&R)" with no live link open: the windows open the serial port through this; it
    // returns whether the port is open afterwards. An open WiFi or serial link is used as it is.
    void setSerialLinkOpener(std::function<bool()> opener) { m_serialLinkOpener = std::move(opener); }

    // ================================================================ configuration dialogs
    // The three reply-driven dialogs: "$PAR", "$PUR" and the compass frames reach them only while
    // their open flags (above) are set; the compass calibration's points and values live here
    // for the whole run.
    CConfigDialogs& configDialogs() { return m_configDialogs; }

private:
    // Forwards to a transport attached later.
    struct SOutputSlot : IByteOutput {
        IByteOutput* target = nullptr;
        CLinkWatch* watch = nullptr; // counts the frames sent
        void send(std::span<const uint8_t> bytes) override
        {
            if (watch && watch->running())
                watch->uplinkFrame();
            if (target)
                target->send(bytes);
        }
    };
    void startLinkWatch();
    void stopLinkWatch();
    void linkChanged(bool lost);
    void showLinkPanes();
    CSteadyClock m_steadyClock;
    IClock* m_clock = &m_steadyClock;
    CLinkWatch m_linkWatch;
    std::vector<LinkChangeHook> m_linkChangeHooks;
    void drain();
    void parsePending();
    template <typename Fn> void forEachSink(Fn fn);
    // A box raised while parsing: queued, opened by showNextBox() in arrival order.
    struct SQueuedBox {
        std::string text;
        bool alignmentQuestion = false;
    };
    void raiseBox(std::string text, bool alignmentQuestion = false);
    void showNextBox();
    std::deque<SQueuedBox> m_boxes;
    bool m_boxOpen = false;
    bool m_telemetryStale = false;

    IGroundStationUi* m_ui = nullptr;
    struct SMapHost : IMapScript {
        explicit SMapHost(CGroundStation* owner) : station(owner) {}
        CGroundStation* station;
        void call(const std::string& fn, const std::vector<std::string>& args) override
        {
            if (station->m_ui)
                station->m_ui->callMapScript(fn, args);
        }
    } m_mapHost{this};
    CMapScript m_map{m_mapHost};
    CAppPaths m_paths;
    CSettings m_settings;
    SEndpoints m_endpoints;
    int m_fenPin = 1;
    float m_altitudeGps = 100.0f;

    // Sends through an attached link.
    struct SLinkOutput : IByteOutput {
        ILink* link = nullptr;
        void send(std::span<const uint8_t> bytes) override
        {
            if (link)
                link->send(bytes);
        }
    };
    SLinkOutput m_serialLink;
    SLinkOutput m_wifiLink;
    SOutputSlot m_serialOut;
    SOutputSlot m_wifiOut;
    CUplinkRouter m_uplink{m_serialOut, m_wifiOut};

    CSerialParser m_serialParser{*this};
    CUdpSentenceStep m_udpStep{*this};
    std::deque<std::uint8_t> m_pendingSerial;
    std::deque<std::uint8_t> m_pendingWifi;
    bool m_parsing = false;
    bool m_wifiStepStale = false; // the work array holds bytes of a WiFi session that has ended
    std::vector<IDownlinkSink*> m_sinks;

    CTelemetryRecord m_current = CTelemetryRecord::initialCurrent();
    int m_receiverOn = 0;
    int m_storedWaypointCount = 0;
    std::vector<RecordHook> m_recordHooks;

    bool m_routeSaved = true;
    int m_replayIntervalMs = kReplayInitialIntervalMs;
    int m_mapToolMode = 0;
    int m_textEntryMarker = 0;

    TickHook m_voiceTick;

    // Links: the map part of the link hooks is done here, the rest by the windows.
    struct SLinkHooks : ILinkHooks {
        CGroundStation* station = nullptr;
        ILinkHooks* outer = nullptr;
        void closeSerialPort() override;
        void clearAircraftTrack() override;
        void stopReplayTimer() override;
        void hideFlightDataBar() override;
    };
    void syncLinkFlags();
    bool openSerial(const std::function<bool()>& openPort, bool continueLog);
    // Empties the WiFi work array and the queued WiFi bytes: a WiFi session starts and ends with
    // nothing of another session in them.
    void resetWifiReceive();
    void showTrackAngle(std::size_t index);
    SLinkHooks m_linkHooks;
    CLinkState m_linkState;
    CPhotoDataFile m_photoDataFile;
    CParameterSetFile m_parameterSetFile;
    CConfigDialogs m_configDialogs{parameterDialogOpen, customParameterDialogOpen, compassDialogOpen};
    std::function<bool()> m_serialLinkOpener;
    std::unique_ptr<CRouteController> m_routeController;
};

} // namespace orvex
