// Sentences of the aircraft's side, checked byte by byte against their layouts and then through the
// ground station's own receivers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/DownlinkBuilders.h"
#include "protocol/SentenceDecoders.h"
#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"

using namespace orvex;

namespace {

uint8_t sumOf(const std::vector<uint8_t>& s, std::size_t from, std::size_t to) // inclusive
{
    unsigned v = 0;
    for (std::size_t i = from; i <= to; ++i)
        v += s[i];
    return static_cast<uint8_t>(v);
}

float f32At(const std::vector<uint8_t>& s, std::size_t at)
{
    uint32_t u = s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (static_cast<uint32_t>(s[at + 3]) << 24);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

struct CRecordingSink : IDownlinkSink {
    std::vector<SWaypointEcho> echoes;
    std::vector<SParameterValues> params;
    std::vector<SCompassPoint> points;
    std::vector<SCompassCalibration> calibrations;
    std::vector<SCustomParameters> custom;
    std::vector<SPhotoReport> photos;
    std::vector<std::string> acks;
    std::vector<CTelemetryRecord> records;
    std::vector<SNmeaLine> lines;
    void onWaypointEcho(const SWaypointEcho& e, EDownlinkLink) override { echoes.push_back(e); }
    void onParameterValues(const SParameterValues& v, EDownlinkLink) override { params.push_back(v); }
    void onCompassPoint(const SCompassPoint& p, EDownlinkLink) override { points.push_back(p); }
    void onCompassCalibration(const SCompassCalibration& c) override { calibrations.push_back(c); }
    void onCustomParameters(const SCustomParameters& c, EDownlinkLink) override { custom.push_back(c); }
    void onPhotoReport(const SPhotoReport& r) override { photos.push_back(r); }
    void onAcknowledgement(const SAcknowledgement& a) override { acks.emplace_back(a.keyword); }
    void onAlignmentQuestion(const SAcknowledgement& a) override { acks.emplace_back(a.keyword); }
    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override { records.push_back(r); }
    void onNmeaLine(const SNmeaLine& l) override { lines.push_back(l); }
};

TEST(DownlinkBuilders, WaypointEchoLayout)
{
    const auto s = downlink::waypointEcho({7, 22.5f, 113.75f, 300, 2, 1, 0x0102});
    ASSERT_EQ(s.size(), 31u);
    EXPECT_EQ(std::string(s.begin(), s.begin() + 5), "$SETD");
    EXPECT_EQ(s[5], 7);
    EXPECT_EQ(f32At(s, 6), 22.5f);
    EXPECT_EQ(f32At(s, 10), 113.75f);
    EXPECT_EQ(s[14], 0x2C);
    EXPECT_EQ(s[15], 0x01);
    EXPECT_EQ(s[18], 2);
    EXPECT_EQ(s[24], 1);
    EXPECT_EQ(s[25], 0x01); // circle time high byte first
    EXPECT_EQ(s[26], 0x02);
    EXPECT_EQ(s[30], sumOf(s, 0, 29));
}

TEST(DownlinkBuilders, SumsOfParameterCompassAndCustomSentences)
{
    std::array<uint8_t, 40> p{};
    for (int i = 0; i < 40; ++i)
        p[i] = static_cast<uint8_t>(i * 7);
    const auto par = downlink::parameterValues(p);
    ASSERT_EQ(par.size(), 45u);
    EXPECT_EQ(std::string(par.begin(), par.begin() + 4), "$PAR");
    EXPECT_EQ(par[4], 0);
    EXPECT_EQ(par[43], static_cast<uint8_t>(39 * 7));
    EXPECT_EQ(par[44], sumOf(par, 0, 43));

    const auto mg2 = downlink::compassPoint(ECompassPlane::XY, 1.5f, -2.25f);
    ASSERT_EQ(mg2.size(), 13u);
    EXPECT_EQ(std::string(mg2.begin(), mg2.begin() + 4), "$MG2");
    EXPECT_EQ(f32At(mg2, 4), 1.5f);
    EXPECT_EQ(f32At(mg2, 8), -2.25f);
    EXPECT_EQ(mg2[12], sumOf(mg2, 4, 11)); // inner sum: the head is not in it
    const auto mg3 = downlink::compassPoint(ECompassPlane::ZY, 0, 0);
    EXPECT_EQ(std::string(mg3.begin(), mg3.begin() + 4), "$MG3");

    const auto mg1 = downlink::compassCalibration({1, 2, 3, 4, 5});
    ASSERT_EQ(mg1.size(), 25u);
    EXPECT_EQ(f32At(mg1, 20), 5.0f);
    EXPECT_EQ(mg1[24], sumOf(mg1, 4, 23));

    std::array<uint8_t, 32> c{};
    c[0] = 236;
    c[31] = 100;
    const auto pur = downlink::customParameters(c);
    ASSERT_EQ(pur.size(), 37u);
    EXPECT_EQ(pur[4], 236);
    EXPECT_EQ(pur[35], 100);
}

TEST(DownlinkBuilders, PhotoReportAndAcknowledgements)
{
    SPhotoReport r;
    r.pictureNumber = 0x0107;
    r.longitude = 113.5f;
    r.latitude = 22.25f;
    r.integerField = -3;
    r.angleRadians = 1.5f;
    const auto q = downlink::photoReport(r);
    ASSERT_EQ(q.size(), 35u);
    EXPECT_EQ(std::string(q.begin(), q.begin() + 5), "$QUZA");
    EXPECT_EQ(q[5], 0x07);
    EXPECT_EQ(q[6], 0x01);
    EXPECT_EQ(f32At(q, 7), 113.5f);
    EXPECT_EQ(f32At(q, 11), 22.25f);
    EXPECT_EQ(q[15], 0xFD);
    EXPECT_EQ(q[18], 0xFF);
    EXPECT_EQ(f32At(q, 27), 1.5f);

    const auto ack = downlink::acknowledgement(EAcknowledgement::T2POK);
    EXPECT_EQ(std::string(ack.begin(), ack.end()), "$T2POK");
    const auto satel = downlink::acknowledgement(EAcknowledgement::SATEL);
    EXPECT_EQ(std::string(satel.begin(), satel.end()), "$SATEL");
}

TEST(DownlinkBuilders, TheGroundStationReceiversAcceptEverySentence)
{
    CTelemetryRecord rec;
    rec.setLatitude(22.6f);
    rec.setLongitude(113.8f);
    rec.bytes()[98] = 0; // the builder must set the checksum
    std::vector<std::vector<uint8_t>> sentences = {
        downlink::telemetry(rec),
        downlink::waypointEcho({2, 22.6f, 113.8f, 100, 100, 100, 100}),
        downlink::parameterValues(std::array<uint8_t, 40>{}),
        downlink::compassPoint(ECompassPlane::XY, 100.0f, -50.0f),
        downlink::customParameters(std::array<uint8_t, 32>{}),
        downlink::photoReport(SPhotoReport{}),
        downlink::acknowledgement(EAcknowledgement::STSAT),
        downlink::gpgga(22.6142, 113.8431, 12, 34, 56, 9, 30.0),
    };
    std::vector<uint8_t> stream;
    for (const auto& s : sentences)
        stream.insert(stream.end(), s.begin(), s.end());
    stream.push_back('$'); // the byte after an acknowledgement lets it act

    CRecordingSink serial;
    CSerialParser parser(serial);
    parser.feed(stream);
    ASSERT_EQ(serial.records.size(), 1u);
    EXPECT_TRUE(serial.records[0].isValidForUpdate());
    ASSERT_EQ(serial.echoes.size(), 1u);
    EXPECT_EQ(serial.echoes[0].number, 2);
    EXPECT_EQ(serial.params.size(), 1u);
    ASSERT_EQ(serial.points.size(), 1u);
    EXPECT_TRUE(serial.points[0].sumOk);
    EXPECT_EQ(serial.custom.size(), 1u);
    EXPECT_EQ(serial.photos.size(), 1u);
    ASSERT_EQ(serial.acks.size(), 1u);
    EXPECT_EQ(serial.acks[0], "$STSAT");
    ASSERT_EQ(serial.lines.size(), 1u);
    EXPECT_TRUE(serial.lines[0].dispatched);
    EXPECT_NEAR(serial.lines[0].record.latitude(), 22.6142, 1e-4);
    EXPECT_NEAR(serial.lines[0].record.longitude(), 113.8431, 1e-4);
    EXPECT_EQ(serial.lines[0].record.timeMinute(), 34);

    CRecordingSink udp;
    CUdpSentenceStep step(udp);
    step.append(downlink::compassCalibration({120, -80, 40, 1.125f, 1.2f}));
    step.append(downlink::telemetry(rec));
    step.run(true);
    ASSERT_EQ(udp.calibrations.size(), 1u);
    EXPECT_TRUE(udp.calibrations[0].sumOk);
    EXPECT_EQ(udp.calibrations[0].values[3], 1.125f);
    EXPECT_EQ(udp.records.size(), 1u);
}

TEST(DownlinkBuilders, GpsLineColumnsForSouthWestAndRounding)
{
    // 33.999999 degrees would print minutes as 60.0000 without the carry.
    const auto line = downlink::gpgga(-33.9999999, -70.5, 1, 2, 3, 12, 5.0);
    const std::string text(line.begin(), line.end());
    EXPECT_EQ(text.substr(0, 7), "$GPGGA,");
    EXPECT_EQ(text.substr(7, 9), "010203.00");
    EXPECT_EQ(text.substr(17, 9), "3400.0000");
    EXPECT_EQ(text[27], 'S');
    EXPECT_EQ(text.substr(29, 10), "07030.0000");
    EXPECT_EQ(text[40], 'W');
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

} // namespace
