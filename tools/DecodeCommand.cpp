// orvex decode [--udp] [--verbose] [FILE|-]
//
// Feeds the bytes of FILE (or standard input) through the serial parsing cycle one byte at a time,
// or with --udp through the UDP sentence step as one datagram with the WiFi link active, and prints
// one JSON object per line for every sentence acted on, in the order the actions run.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "JsonWriter.h"
#include "ToolCommand.h"
#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"

using namespace orvex;

namespace {

class CJsonLinesSink : public IDownlinkSink {
public:
    CJsonLinesSink(std::ostream& out, bool verbose) : m_out(out), m_verbose(verbose) {}

    std::size_t at = 0; // input bytes fed so far

    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override
    {
        // As the record store does: append, then the track angle against the record three back.
        m_store.push_back(r);
        const std::size_t index = m_store.size() - 1;
        const double track = trackAngleDegrees(m_store[trackAngleReferenceIndex(index)], r);
        CJsonObject o = head("$STP");
        for (const auto& field : telemetryFields()) {
            const double v = telemetryFieldValue(r, field);
            if (field.type == ETelemetryFieldType::F32)
                o.real(field.name, static_cast<float>(v));
            else
                o.integer(field.name, static_cast<long long>(v));
        }
        o.integer("takeoffDistance", r.takeoffDistance());
        o.integer("ekfVelocityD", r.ekfVelocityD());
        o.integer("ekfVelocityY", r.ekfVelocityY());
        o.boolean("valid", r.isValidForUpdate());
        o.real("trackAngle", track);
        emit(o);
    }
    void onNmeaLine(const SNmeaLine& line) override
    {
        CJsonObject o = head(line.keyword);
        o.boolean("dispatched", line.dispatched);
        if (line.dispatched) {
            o.real("latitude", line.record.latitude());
            o.real("longitude", line.record.longitude());
            o.integer("timeHour", line.record.timeHour());
            o.integer("timeMinute", line.record.timeMinute());
            o.integer("timeSecond", line.record.timeSecond());
            o.boolean("valid", line.record.isValidForUpdate());
        }
        emit(o);
    }
    void onAcknowledgement(const SAcknowledgement& ack) override { emit(head(ack.keyword).str("message", ack.message)); }
    void onAlignmentQuestion(const SAcknowledgement& ack) override
    {
        emit(head(ack.keyword).str("message", ack.message).boolean("question", true));
    }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override
    {
        emit(head("$PAR").integers<uint8_t>("bytes", v.values));
    }
    void onCompassPoint(const SCompassPoint& p, EDownlinkLink) override
    {
        const float values[] = {p.first, p.second};
        emit(head(p.plane == ECompassPlane::XY ? "$MG2" : "$MG3").reals("values", values).boolean("sumOk", p.sumOk));
    }
    void onCompassCalibration(const SCompassCalibration& c) override
    {
        emit(head("$MG1").reals("values", c.values).boolean("sumOk", c.sumOk));
    }
    void onCustomParameters(const SCustomParameters& c, EDownlinkLink) override
    {
        emit(head("$PUR").integers<int>("values", c.values));
    }
    void onWaypointEcho(const SWaypointEcho& e, EDownlinkLink) override
    {
        emit(head("$SETD")
                 .integer("number", e.number)
                 .real("latitude", e.latitude)
                 .real("longitude", e.longitude)
                 .integer("altitude", e.altitude)
                 .integer("photoMode", e.photoMode)
                 .integer("circleFlag", e.circleFlag)
                 .integer("circleTime", e.circleTime));
    }
    void onParameterSnapshot(const SParameterSnapshot& s) override
    {
        emit(head("$P2T").integers<uint8_t>("bytes", s.values));
    }
    void onPhotoReport(const SPhotoReport& r) override
    {
        std::string line = photoDataLine(r);
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        emit(head("$QUZA").str("line", line));
    }
    void onPhotoMark(const SPhotoMark& m) override
    {
        const float values[] = {m.first, m.second};
        emit(head("$PAED").reals("values", values));
    }
    void onWaypointIndexEcho(const SWaypointIndexEcho& e) override
    {
        const float values[] = {e.first, e.second};
        emit(head("$PAI").integer("index", e.index).reals("values", values));
    }
    void onRouteSummary(const SRouteSummary& s) override
    {
        const uint16_t counts[] = {s.first, s.second};
        emit(head("$PASUM").integers<uint16_t>("counts", counts));
    }
    void onServoChannels(const SServoChannels& s) override
    {
        std::string channels = "[";
        for (std::size_t i = 0; i < s.position.size(); ++i)
            channels += (i ? ",[" : "[") + std::to_string(s.position[i]) + "," + std::to_string(s.reverse[i]) + "]";
        channels += "]";
        emit(head("$DJSJ").raw("channels", channels));
    }
    void onOpaqueFrame(std::string_view keyword, std::span<const uint8_t>) override { emit(head(keyword)); }
    void onDropped(const SDrop& d) override
    {
        if (!m_verbose)
            return;
        emit(head(d.keyword).integer("dropped", static_cast<long long>(d.count)).str("reason", dropReasonName(d.reason)));
    }

private:
    CJsonObject head(std::string_view keyword) const
    {
        CJsonObject o;
        o.str("keyword", keyword).integer("at", static_cast<long long>(at));
        return o;
    }
    void emit(const CJsonObject& o) { m_out << o.text() << '\n'; }

    std::ostream& m_out;
    bool m_verbose;
    std::vector<CTelemetryRecord> m_store;
};

bool readAll(std::istream& in, std::vector<uint8_t>& out)
{
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int runDecode(const std::vector<std::string>& args)
{
    bool udp = false;
    bool verbose = false;
    std::string path;
    bool havePath = false;
    for (const auto& a : args) {
        if (a == "--udp")
            udp = true;
        else if (a == "--verbose")
            verbose = true;
        else if (a.size() > 1 && a[0] == '-' && a != "-")
            return toolUsageError("decode", "unknown option '" + a + "'");
        else if (havePath)
            return toolUsageError("decode", "only one input may be given");
        else {
            path = a;
            havePath = true;
        }
    }
    std::vector<uint8_t> input;
    if (!havePath || path == "-") {
        if (!readAll(std::cin, input)) {
            std::cerr << "orvex decode: cannot read standard input\n";
            return 1;
        }
    } else {
        std::ifstream file(path, std::ios::binary);
        if (!file || !readAll(file, input)) {
            std::cerr << "orvex decode: cannot read '" << path << "'\n";
            return 1;
        }
    }

    std::ios::sync_with_stdio(false);
    CJsonLinesSink sink(std::cout, verbose);
    if (udp) {
        CUdpSentenceStep step(sink, input.size());
        step.append(input);
        sink.at = input.size();
        step.run(true);
    } else {
        CSerialParser parser(sink);
        for (uint8_t b : input) {
            ++sink.at;
            parser.feed(b);
        }
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

CToolCommandRegistration reg{"decode", "decode [--udp] [--verbose] [FILE|-]",
                             "decode downlink bytes into one JSON object per sentence (see docs/protocol-tool.md)",
                             &runDecode};

} // namespace
