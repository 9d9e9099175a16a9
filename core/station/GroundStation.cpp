#include "station/GroundStation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "protocol/ByteFields.h"
#include "base/Format.h"

namespace orvex {

namespace {

constexpr std::size_t kPositionBytes = 16;
constexpr double kInversePi = 0.31830988654751274;
constexpr const char* kProgramTitle = "Orvex 无人机地面站";

// Sets a flag for the lifetime of a scope, restoring it even when the parser throws.
class CFlagGuard {
public:
    explicit CFlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~CFlagGuard() { m_flag = false; }
    CFlagGuard(const CFlagGuard&) = delete;
    CFlagGuard& operator=(const CFlagGuard&) = delete;

private:
    bool& m_flag;
};

} // namespace

void IGroundStationUi::openDownlinkBox(const std::string& text, bool question, std::function<void(bool)> closed)
{
    if (question) {
        closed(askYesNo(text, kProgramTitle, true));
        return;
    }
    showMessage(text);
    closed(false);
}

CGroundStation::CGroundStation(const CAppPaths& paths)
    : m_paths(paths), m_settings(paths.settingsPath()), m_photoDataFile(paths.photoDataPath()),
      m_parameterSetFile(paths.parameterSetPath())
{
    m_linkHooks.station = this;
    m_serialOut.watch = &m_linkWatch;
    m_wifiOut.watch = &m_linkWatch;
    m_linkWatch.setLostAfterMs(std::int64_t(m_settings.getInt(keys::kLinkLostSeconds)) * 1000);
    m_linkState.setHooks(&m_linkHooks);
    m_linkState.setLogDirectory(paths.flightLogDir());

    CRouteHooks routeHooks;
    routeHooks.send = [this](std::span<const uint8_t> frame) { m_uplink.sendOnBothLinks(frame); };
    routeHooks.message = [this](const std::string& text) {
        if (m_parsing)
            raiseBox(text); // an echo check's finding: after the parser call, like every downlink box
        else if (m_ui)
            m_ui->showMessage(text);
    };
    routeHooks.setSaved = [this](bool saved) { m_routeSaved = saved; };
    routeHooks.ensureLinkOpen = [this] {
        if (anyLinkOpen())
            return true;
        return m_serialLinkOpener && m_serialLinkOpener() && serialOpen();
    };
    routeHooks.status = [this](const std::string& text) {
        if (m_ui)
            m_ui->showStatus(text);
    };
    m_routeController = std::make_unique<CRouteController>(m_settings, m_mapHost, std::move(routeHooks));
    addDownlinkSink(m_routeController.get());
}

CGroundStation::~CGroundStation() = default;

void CGroundStation::loadStartupSettings()
{
    rereadWayPointSettings();
}

void CGroundStation::rereadWayPointSettings()
{
    m_fenPin = m_settings.getInt(keys::kFenPin);
    m_altitudeGps = static_cast<float>(m_settings.getInt(keys::kAltitudeGps));
}

SWindowPlacement CGroundStation::placementFromPosition(const std::optional<std::vector<std::uint8_t>>& bytes)
{
    SWindowPlacement placement;
    if (!bytes || bytes->size() != kPositionBytes)
        return placement;
    const std::uint8_t* b = bytes->data();
    placement.left = bytes::readI32(b);
    placement.top = bytes::readI32(b + 4);
    placement.right = bytes::readI32(b + 8);
    placement.bottom = bytes::readI32(b + 12);
    if (placement.left == -1 && placement.top == -1 && placement.right == -1 && placement.bottom == -1)
        placement.kind = EWindowPlacement::Maximised;
    else
        placement.kind = EWindowPlacement::Rectangle;
    return placement;
}

std::vector<std::uint8_t> CGroundStation::maximisedPositionMarker()
{
    return std::vector<std::uint8_t>(kPositionBytes, 0xFF);
}

// ------------------------------------------------------------------ received bytes

void CGroundStation::receiveBytes(EFraming framing, std::span<const std::uint8_t> bytes)
{
    std::deque<std::uint8_t>& pending = framing == EFraming::ByteStream ? m_pendingSerial : m_pendingWifi;
    pending.insert(pending.end(), bytes.begin(), bytes.end());
    if (framing == EFraming::Datagrams && m_linkWatch.running())
        m_linkWatch.datagram();
    if (!m_parsing)
        drain();
}

void CGroundStation::attachLink(ILink& link)
{
    const EFraming framing = link.framing();
    SLinkOutput& out = framing == EFraming::ByteStream ? m_serialLink : m_wifiLink;
    out.link = &link;
    (framing == EFraming::ByteStream ? m_serialOut : m_wifiOut).target = &out;
    link.setReceiver([this, framing](std::span<const std::uint8_t> bytes) { receiveBytes(framing, bytes); });
}

void CGroundStation::detachLink(ILink& link)
{
    link.setReceiver(nullptr);
    for (SLinkOutput* out : {&m_serialLink, &m_wifiLink})
        if (out->link == &link)
            out->link = nullptr;
}

void CGroundStation::drain()
{
    parsePending();
    showNextBox(); // the boxes the sentences raised, now that the parser has returned
}

void CGroundStation::parsePending()
{
    // One parser call at a time. Bytes that arrive during a call are queued by
    // receiveBytes() and handed over by this loop afterwards.
    CFlagGuard guard(m_parsing);
    std::vector<std::uint8_t> chunk;
    while (!m_pendingSerial.empty() || !m_pendingWifi.empty()) {
        if (!m_pendingSerial.empty()) {
            chunk.assign(m_pendingSerial.begin(), m_pendingSerial.end());
            m_pendingSerial.clear();
            m_serialParser.feed(chunk);
        }
        if (!m_pendingWifi.empty()) {
            chunk.assign(m_pendingWifi.begin(), m_pendingWifi.end());
            m_pendingWifi.clear();
            if (m_wifiStepStale) m_udpStep.clear();
            m_wifiStepStale = false;
            m_udpStep.append(chunk);
            m_udpStep.run(wifiActive());
        }
    }
}

void CGroundStation::raiseBox(std::string text, bool alignmentQuestion)
{
    m_boxes.push_back({std::move(text), alignmentQuestion});
    showNextBox();
}

void CGroundStation::showNextBox()
{
    if (!m_ui) {
        m_boxes.clear();
        return;
    }
    if (m_parsing || m_boxOpen || m_boxes.empty())
        return;
    const SQueuedBox box = std::move(m_boxes.front());
    m_boxes.pop_front();
    m_boxOpen = true;
    m_ui->openDownlinkBox(box.text, box.alignmentQuestion, [this, alignment = box.alignmentQuestion](bool yes) {
        m_boxOpen = false;
        if (alignment && yes) {
            const uplink::Frame sahrs = uplink::attitudeAlignment();
            for (int i = 0; i < uplink::kAttitudeAlignmentRepeats; ++i)
                m_uplink.sendOnSerial(sahrs);
        }
        showNextBox();
    });
}

void CGroundStation::removeDownlinkSink(IDownlinkSink* sink)
{
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

template <typename Fn> void CGroundStation::forEachSink(Fn fn)
{
    // A copy: a sink may add or remove sinks while it runs.
    const std::vector<IDownlinkSink*> sinks = m_sinks;
    for (IDownlinkSink* sink : sinks)
        fn(*sink);
}

// ------------------------------------------------------------------ record update

SAircraftMarker CGroundStation::markerFor(const CTelemetryRecord& rec) const
{
    SAircraftMarker marker;
    marker.latitude = rec.latitude();
    marker.longitude = rec.longitude();
    // altitude / 10 truncated toward zero, plus the GPS altitude correction (a float).
    marker.altitudeM = static_cast<int>(static_cast<float>(rec.altitude() / 10) + m_altitudeGps);
    marker.targetWaypoint = rec.targetWaypoint();
    marker.headingDeg = static_cast<double>(rec.heading()) * 180.0 * kInversePi;
    return marker;
}

bool CGroundStation::recordUpdate(const CTelemetryRecord& record)
{
    if (!record.isValidForUpdate())
        return false;
    m_current = record;
    setTelemetryStale(false);
    m_receiverOn = m_current.receiverOn();
    m_storedWaypointCount = m_current.storedWaypointCount();
    if (m_ui)
        m_ui->telemetryNotify(std::span<const std::uint8_t>(m_current.bytes()), markerFor(m_current));
    // A copy: the current record may change while the hooks run.
    const CTelemetryRecord shown = m_current;
    for (const RecordHook& hook : m_recordHooks)
        hook(shown);
    return true;
}

// ------------------------------------------------------------------ downlink events

void CGroundStation::onTelemetryRecord(const CTelemetryRecord& record, EDownlinkLink link)
{
    storeTelemetryRecord(record);
    if (m_linkWatch.recordReceived(m_clock->nowMs()) == ELinkChange::Restored)
        linkChanged(false);
    forEachSink([&](IDownlinkSink& s) { s.onTelemetryRecord(record, link); });
    recordUpdate(record);
}

void CGroundStation::onNmeaLine(const SNmeaLine& line)
{
    forEachSink([&](IDownlinkSink& s) { s.onNmeaLine(line); });
}

void CGroundStation::onNmeaPosition(const CTelemetryRecord& record)
{
    forEachSink([&](IDownlinkSink& s) { s.onNmeaPosition(record); });
    recordUpdate(record);
}

void CGroundStation::onAcknowledgement(const SAcknowledgement& ack)
{
    raiseBox(std::string(ack.message));
    forEachSink([&](IDownlinkSink& s) { s.onAcknowledgement(ack); });
}

void CGroundStation::onAlignmentQuestion(const SAcknowledgement& ack)
{
    raiseBox(std::string(ack.message), true); // "$SAHRS" on Yes, when answered
    forEachSink([&](IDownlinkSink& s) { s.onAlignmentQuestion(ack); });
}

void CGroundStation::onPhotoMark(const SPhotoMark& mark)
{
    m_map.setPic(mark.first, mark.second);
    forEachSink([&](IDownlinkSink& s) { s.onPhotoMark(mark); });
}

void CGroundStation::onParameterValues(const SParameterValues& values, EDownlinkLink link)
{
    m_configDialogs.onParameterValues(values, link);
    forEachSink([&](IDownlinkSink& s) { s.onParameterValues(values, link); });
}

void CGroundStation::onCompassPoint(const SCompassPoint& point, EDownlinkLink link)
{
    m_configDialogs.onCompassPoint(point, link);
    forEachSink([&](IDownlinkSink& s) { s.onCompassPoint(point, link); });
}

void CGroundStation::onCompassCalibration(const SCompassCalibration& calibration)
{
    m_configDialogs.onCompassCalibration(calibration);
    forEachSink([&](IDownlinkSink& s) { s.onCompassCalibration(calibration); });
}

void CGroundStation::onCustomParameters(const SCustomParameters& parameters, EDownlinkLink link)
{
    m_configDialogs.onCustomParameters(parameters, link);
    forEachSink([&](IDownlinkSink& s) { s.onCustomParameters(parameters, link); });
}

void CGroundStation::onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink link)
{
    forEachSink([&](IDownlinkSink& s) { s.onWaypointEcho(echo, link); });
}

void CGroundStation::onParameterSnapshot(const SParameterSnapshot& snapshot)
{
    // The success message only after the file was written; a failure says what went wrong.
    const CParameterSetFile::SResult written = m_parameterSetFile.write(snapshot);
    if (!written.message.empty())
        raiseBox(written.message);
    forEachSink([&](IDownlinkSink& s) { s.onParameterSnapshot(snapshot); });
}

void CGroundStation::onPhotoReport(const SPhotoReport& report)
{
    const CPhotoDataFile::SResult written = m_photoDataFile.write(report);
    if (!written.message.empty())
        raiseBox(written.message); // told once, not for every picture
    forEachSink([&](IDownlinkSink& s) { s.onPhotoReport(report); });
}

void CGroundStation::onWaypointIndexEcho(const SWaypointIndexEcho& echo)
{
    forEachSink([&](IDownlinkSink& s) { s.onWaypointIndexEcho(echo); });
}

void CGroundStation::onRouteSummary(const SRouteSummary& summary)
{
    forEachSink([&](IDownlinkSink& s) { s.onRouteSummary(summary); });
}

void CGroundStation::onServoChannels(const SServoChannels& channels)
{
    forEachSink([&](IDownlinkSink& s) { s.onServoChannels(channels); });
}

void CGroundStation::onOpaqueFrame(std::string_view keyword, std::span<const uint8_t> frame)
{
    forEachSink([&](IDownlinkSink& s) { s.onOpaqueFrame(keyword, frame); });
}

void CGroundStation::onSentence(std::string_view keyword, EDownlinkLink link)
{
    m_linkWatch.sentence(keyword);
    forEachSink([&](IDownlinkSink& s) { s.onSentence(keyword, link); });
}

void CGroundStation::onDropped(const SDrop& drop)
{
    if (m_linkWatch.running()) {
        m_linkWatch.bytesDiscarded(drop.count);
        if (drop.reason == EDropReason::BadChecksum)
            m_linkWatch.badChecksum();
    }
    forEachSink([&](IDownlinkSink& s) { s.onDropped(drop); });
}

// ------------------------------------------------------------------ replay speed

// ------------------------------------------------------------------ ticks

void CGroundStation::voiceTick()
{
    if (m_voiceTick)
        m_voiceTick();
}

void CGroundStation::flushTick()
{
    m_linkState.flush(); // timer 4: the new records of a live link to the flight log
}

void CGroundStation::uploadTick()
{
    m_routeController->uploadTick(m_storedWaypointCount);
}

void CGroundStation::linkWatchTick()
{
    const std::int64_t now = m_clock->nowMs();
    if (m_linkWatch.tick(now) == ELinkChange::Lost)
        linkChanged(true);
    else
        showLinkPanes();
}

void CGroundStation::showLinkPanes()
{
    const std::int64_t now = m_clock->nowMs();
    if (m_ui)
        m_ui->showLinkHealth(m_linkWatch.outageText(now), m_linkWatch.lost(), m_linkWatch.rateText(now));
}

void CGroundStation::linkChanged(bool lost)
{
    setTelemetryStale(lost);
    const auto hooks = m_linkChangeHooks;
    for (const LinkChangeHook& hook : hooks)
        hook(lost);
    showLinkPanes();
}

void CGroundStation::startLinkWatch()
{
    m_linkWatch.setLostAfterMs(std::int64_t(m_settings.getInt(keys::kLinkLostSeconds)) * 1000);
    m_linkWatch.start(m_clock->nowMs());
}

void CGroundStation::stopLinkWatch()
{
    m_linkWatch.stop();
    if (m_ui)
        m_ui->showLinkHealth({}, false, {});
}

void CGroundStation::heartbeatTick()
{
    if (m_linkWatch.running() && anyLinkOpen())
        m_linkWatch.heartbeat();
    m_uplink.sendOnBothLinks(uplink::heartbeat(static_cast<std::uint8_t>(m_receiverOn)));
}

// ------------------------------------------------------------------ links, record store, flight log

void CGroundStation::SLinkHooks::closeSerialPort()
{
    if (outer)
        outer->closeSerialPort();
}

void CGroundStation::SLinkHooks::clearAircraftTrack()
{
    if (station)
        station->m_map.clearlineStringplane();
    if (outer)
        outer->clearAircraftTrack();
}

void CGroundStation::SLinkHooks::stopReplayTimer()
{
    if (outer)
        outer->stopReplayTimer();
}

void CGroundStation::SLinkHooks::hideFlightDataBar()
{
    if (outer)
        outer->hideFlightDataBar();
}

void CGroundStation::syncLinkFlags()
{
    m_uplink.setSerialOpen(m_linkState.serialOpen());
    m_uplink.setWifiActive(m_linkState.wifiActive());
    if (!m_linkState.wifiActive()) resetWifiReceive();
}

void CGroundStation::resetWifiReceive()
{
    m_pendingWifi.clear();
    // A step running further up the stack (a message box's nested event loop) still reads the
    // array: it is emptied before the next bytes are appended instead.
    if (m_parsing)
        m_wifiStepStale = true;
    else
        m_udpStep.clear();
}

bool CGroundStation::openSerialLink(const std::function<bool()>& openPort)
{
    return openSerial(openPort, false);
}

bool CGroundStation::reopenSerialLink(const std::function<bool()>& openPort)
{
    return openSerial(openPort, true);
}

bool CGroundStation::openSerial(const std::function<bool()>& openPort, bool continueLog)
{
    const auto open = [&] {
        syncLinkFlags(); // the previous link is closed by now
        return openPort && openPort();
    };
    const bool opened = continueLog ? m_linkState.reopenSerial(open) : m_linkState.openSerial(open);
    if (opened) {
        m_serialParser.reset();
        startLinkWatch();
    } else {
        stopLinkWatch();
    }
    syncLinkFlags();
    return opened;
}

void CGroundStation::activateWifiLink()
{
    m_linkState.activateWifi();
    syncLinkFlags();
    resetWifiReceive();
    startLinkWatch();
}

void CGroundStation::closeLink()
{
    m_linkState.closeLink();
    syncLinkFlags();
    setTelemetryStale(true);
    stopLinkWatch();
}

void CGroundStation::closeLinkOrReplay()
{
    m_linkState.closeLinkOrReplay();
    syncLinkFlags();
    setTelemetryStale(true);
    stopLinkWatch();
}

void CGroundStation::setTelemetryStale(bool stale)
{
    if (stale == m_telemetryStale)
        return;
    m_telemetryStale = stale;
    if (!m_ui)
        return;
    m_ui->showTelemetryStale(stale);
    m_map.setPlaneStale(stale);
}

void CGroundStation::shutdownLinks()
{
    m_linkState.shutdown();
    syncLinkFlags();
    m_photoDataFile.close();
    stopLinkWatch();
}

void CGroundStation::storeTelemetryRecord(const CTelemetryRecord& record)
{
    const std::optional<std::size_t> index = m_linkState.storeRecord(record.bytes().data());
    if (index)
        showTrackAngle(*index);
}

void CGroundStation::showTrackAngle(std::size_t index)
{
    CRecordStore& store = m_linkState.store();
    const std::uint8_t* older = store.record(trackAngleReferenceIndex(index));
    const std::uint8_t* newer = store.record(index);
    store.setTrackAngle(index, trackAngleDegrees(bytes::readF32(older + 4), bytes::readF32(older + 8),
                                                 bytes::readF32(newer + 4), bytes::readF32(newer + 8)));
}

bool CGroundStation::confirmReplay()
{
    if (!anyLinkOpen())
        return true;
    return m_ui && m_ui->askYesNo(kReplayEndsLinkQuestion, kReplayEndsLinkCaption, false);
}

CReplay::SLoadResult CGroundStation::startReplay(const std::string& path)
{
    stopLinkWatch(); // a replay never raises a lost link
    CReplay::SLoadResult result = m_linkState.startReplay(path);
    syncLinkFlags();
    if (!result.ok)
        return result;
    // The current record is cleared, then takes each leading empty record and the first one
    // that is not empty, as they are skipped.
    CTelemetryRecord::Bytes bytes{};
    if (result.currentRecord)
        std::memcpy(bytes.data(), m_linkState.store().record(*result.currentRecord), bytes.size());
    m_current = CTelemetryRecord(bytes);
    return result;
}

std::optional<int> CGroundStation::replayTick()
{
    const CReplay::STickResult tick = m_linkState.replay().tick();
    if (tick.show) {
        showTrackAngle(*tick.show);
        CTelemetryRecord::Bytes bytes{};
        std::memcpy(bytes.data(), m_linkState.store().record(*tick.show), bytes.size());
        recordUpdate(CTelemetryRecord(bytes));
    }
    return tick.progress;
}

std::optional<int> CGroundStation::replaySeek(int sliderPosition)
{
    if (!m_linkState.replayLoaded())
        return std::nullopt;
    const CReplay::SSeekResult seek = m_linkState.replay().seek(sliderPosition);
    m_map.clearlineStringplane();
    if (seek.currentRecord) {
        CTelemetryRecord::Bytes bytes{};
        std::memcpy(bytes.data(), m_linkState.store().record(*seek.currentRecord), bytes.size());
        m_current = CTelemetryRecord(bytes);
    }
    // The marker moves after every seek, also when no record was copied (a seek to the start keeps
    // the current record): altitude = positionAux + AltitudeGPS, heading from the record.
    const double altitude = static_cast<double>(m_current.positionAux()) + static_cast<double>(m_altitudeGps);
    m_map.setplane(m_current.latitude(), m_current.longitude(), altitude, int(m_current.targetWaypoint()),
                   markerFor(m_current).headingDeg);
    return seek.progress;
}

} // namespace orvex
