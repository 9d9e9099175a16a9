#include "protocol/SentenceDispatch.h"

#include "protocol/SentenceDecoders.h"

namespace orvex {

namespace {

EAcknowledgement acknowledgementFor(std::string_view keyword)
{
    for (int i = 0; i <= static_cast<int>(EAcknowledgement::STSAT); ++i)
        if (acknowledgementKeyword(static_cast<EAcknowledgement>(i)) == keyword)
            return static_cast<EAcknowledgement>(i);
    return EAcknowledgement::DOYMM;
}

} // namespace

void dispatchSentence(ESentence sentence, std::string_view keyword, std::span<const uint8_t> frame,
                      EDownlinkLink link, IDownlinkSink& sink)
{
    using S = ESentence;
    sink.onSentence(keyword, link);
    switch (sentence) {
    case S::NmeaLine: {
        const SNmeaLine line = decode::nmeaLine(frame);
        sink.onNmeaLine(line);
        if (line.dispatched)
            sink.onNmeaPosition(line.record);
        break;
    }
    case S::WaypointIndexEcho:
        sink.onWaypointIndexEcho(*decode::waypointIndexEcho(frame));
        break;
    case S::PhotoMark:
        sink.onPhotoMark(*decode::photoMark(frame));
        break;
    case S::RouteSummary:
        sink.onRouteSummary(*decode::routeSummary(frame));
        break;
    case S::Telemetry:
        sink.onTelemetryRecord(*CTelemetryRecord::fromBytes(frame), link);
        break;
    case S::Parameters:
        sink.onParameterValues(*decode::parameterValues(frame), link);
        break;
    case S::CompassPoint:
        sink.onCompassPoint(*decode::compassPoint(frame), link);
        break;
    case S::CompassCalibration:
        sink.onCompassCalibration(*decode::compassCalibration(frame));
        break;
    case S::CustomParameters:
        sink.onCustomParameters(*decode::customParameters(frame), link);
        break;
    case S::ParameterSnapshot:
        sink.onParameterSnapshot(*decode::parameterSnapshot(frame));
        break;
    case S::Opaque:
        sink.onOpaqueFrame(keyword, frame);
        break;
    case S::WaypointEcho:
        sink.onWaypointEcho(*decode::waypointEcho(frame), link);
        break;
    case S::ServoChannels:
        sink.onServoChannels(*decode::servoChannels(frame));
        break;
    case S::Acknowledgement: {
        const EAcknowledgement kind = acknowledgementFor(keyword);
        const SAcknowledgement ack{kind, acknowledgementKeyword(kind), acknowledgementMessage(kind, link), link};
        if (kind == EAcknowledgement::SATEL)
            sink.onAlignmentQuestion(ack);
        else
            sink.onAcknowledgement(ack);
        break;
    }
    case S::PhotoReport:
        sink.onPhotoReport(*decode::photoReport(frame));
        break;
    }
}

} // namespace orvex
