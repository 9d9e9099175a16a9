// The simulated aircraft driven by a test clock: what it sends, how it flies the commands, what it
// answers, and the faults and heartbeat watch around it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "protocol/SentenceDecoders.h"
#include "protocol/SerialParser.h"
#include "protocol/Uplink.h"
#include "protocol/UplinkParser.h"
#include "sim/FaultInjector.h"
#include "sim/SimAircraft.h"

using namespace orvex;

namespace {

struct CCapture : ISimOutput {
    std::vector<std::pair<ESimLink, std::vector<uint8_t>>> sent;
    std::vector<std::string> notices;
    void send(ESimLink link, std::span<const uint8_t> s) override
    {
        sent.emplace_back(link, std::vector<uint8_t>(s.begin(), s.end()));
    }
    void notice(const std::string& t) override { notices.push_back(t); }

    // Sentences whose head starts with `head`, on `link`.
    std::vector<std::vector<uint8_t>> with(const std::string& head, ESimLink link) const
    {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& [l, s] : sent)
            if (l == link && s.size() >= head.size() && std::memcmp(s.data(), head.data(), head.size()) == 0)
                out.push_back(s);
        return out;
    }
};

class CFlight {
  public:
    explicit CFlight(SSimConfig config = {}, bool serial = true, bool udp = false) : sim(config, out)
    {
        sim.setLinkActive(ESimLink::Serial, serial);
        sim.setLinkActive(ESimLink::Udp, udp);
        sim.start(0);
    }
    void run(int64_t ms)
    {
        const int64_t end = now + ms;
        while (now < end) {
            now += 10;
            sim.advance(now);
        }
    }
    void send(const std::vector<uint8_t>& frame, ESimLink from = ESimLink::Serial)
    {
        SUplinkFrame f;
        ASSERT_TRUE(parseUplinkFrame(frame, f));
        sim.onUplink(f, from, now);
    }
    // Hands the frame over when the aircraft's parser accepts it (command codes that look like a
    // frame letter, "$WIFISSS" say, are refused as malformed frames of that letter).
    void offer(const std::vector<uint8_t>& frame)
    {
        SUplinkFrame f;
        if (parseUplinkFrame(frame, f)) sim.onUplink(f, ESimLink::Serial, now);
    }
    CTelemetryRecord lastRecord(ESimLink link = ESimLink::Serial) const
    {
        const auto stp = out.with("$STP", link);
        EXPECT_FALSE(stp.empty());
        CTelemetryRecord::Bytes b{};
        std::copy(stp.back().begin(), stp.back().end(), b.begin());
        return CTelemetryRecord(b);
    }
    double metresTo(double lat, double lon) const
    {
        double n = 0, e = 0;
        CSimAircraft::offsetMetres(sim.latitude(), sim.longitude(), lat, lon, n, e);
        return std::hypot(n, e);
    }
    void storeRoute(const std::vector<std::array<double, 2>>& points, int altitude, uint8_t photoMode = 100)
    {
        for (std::size_t i = 0; i < points.size(); ++i)
            send(uplink::waypoint(static_cast<uint8_t>(i + 1), static_cast<float>(points[i][0]),
                                  static_cast<float>(points[i][1]), altitude, 0, 100, photoMode));
        send(uplink::waypointCount(static_cast<uint8_t>(points.size())));
    }

    CCapture out;
    CSimAircraft sim;
    int64_t now = 0;
};

TEST(SimAircraft, RecordsAtTheRateWithGoodChecksumsOnEveryActiveLink)
{
    SSimConfig config;
    config.rateHz = 20;
    CFlight f(config, true, true);
    f.run(2000);
    const auto serial = f.out.with("$STP", ESimLink::Serial);
    const auto udp = f.out.with("$STP", ESimLink::Udp);
    // t = 0, 50, ..., 2000 ms.
    EXPECT_EQ(serial.size(), 41u);
    EXPECT_EQ(udp.size(), 41u);
    EXPECT_EQ(f.sim.counters().recordsSent, 82u);
    for (const auto& s : serial) {
        ASSERT_EQ(s.size(), 99u);
        unsigned sum = 0;
        for (int i = 0; i < 98; ++i)
            sum += s[i];
        EXPECT_EQ(s[98], static_cast<uint8_t>(sum));
    }
    const CTelemetryRecord r = f.lastRecord();
    EXPECT_NEAR(r.latitude(), config.homeLatitude, 1e-5);
    EXPECT_NEAR(r.longitude(), config.homeLongitude, 1e-5);
    EXPECT_EQ(r.firmwareVersion(), CSimAircraft::kFirmwareVersion);
    EXPECT_EQ(r.controlMode(), reportedControlMode(kSimLanded));
    EXPECT_EQ(r.motorPulses1(), 0);
    EXPECT_GT(r.supplyVolts(), 15.0);
}

TEST(SimAircraft, GpsComesUpAndIsAnnouncedOnce)
{
    CFlight f;
    f.run(1000);
    EXPECT_LT(f.lastRecord().satelliteCount(), CSimAircraft::kGpsGoodSatellites);
    EXPECT_TRUE(f.out.with("$SATEL", ESimLink::Serial).empty());
    f.run(9000);
    EXPECT_GE(f.lastRecord().satelliteCount(), 10);
    EXPECT_EQ(f.out.with("$SATEL", ESimLink::Serial).size(), 1u);
}

TEST(SimAircraft, GpsLinesOnceASecondOnTheSerialLinkOnlyOnceGpsIsGood)
{
    SSimConfig config;
    config.nmea = true;
    CFlight f(config, true, true);
    f.sim.setTimeOfDay(20, 15, 30);
    f.sim.setUtcTimeOfDay(12, 15, 30);
    f.run(2000);
    EXPECT_TRUE(f.out.with("$GPGGA", ESimLink::Serial).empty()); // too few satellites yet
    f.run(8000);
    const auto lines = f.out.with("$GPGGA", ESimLink::Serial);
    EXPECT_GE(lines.size(), 5u);
    EXPECT_LE(lines.size(), 8u);
    EXPECT_TRUE(f.out.with("$GPGGA", ESimLink::Udp).empty());
    const SNmeaLine line = decode::nmeaLine(lines.back());
    ASSERT_TRUE(line.dispatched);
    EXPECT_NEAR(line.record.latitude(), config.homeLatitude, 1e-4);
    EXPECT_NEAR(line.record.longitude(), config.homeLongitude, 1e-4);
    EXPECT_EQ(line.record.timeHour(), (12 + 16) % 24); // the line carries UTC
    EXPECT_EQ(f.lastRecord().timeHour(), 20);          // the record local time
}

TEST(SimAircraft, TakesOffHoversAndDriftsOnlyALittle)
{
    CFlight f;
    f.send(uplink::commandCode(kCommandAutoTakeoff));
    f.run(3000);
    CTelemetryRecord r = f.lastRecord();
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);
    EXPECT_EQ(r.controlMode(), 1); // "自动悬停"
    EXPECT_GT(r.altitude(), 50);
    EXPECT_GT(r.motorPulses1(), 100);
    EXPECT_GT(r.current(), 5);
    f.run(15000);
    r = f.lastRecord();
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_EQ(r.controlMode(), 1);
    EXPECT_EQ(r.altitude(), 300); // 30 m in 0.1 m
    EXPECT_EQ(r.altitudeReference(), 300);
    EXPECT_GT(r.consumedCapacity(), 0);

    // Hovering for a minute: it moves, but stays within a few metres.
    const double lat = f.sim.homeLatitude(), lon = f.sim.homeLongitude();
    std::vector<float> lats;
    for (int i = 0; i < 60; ++i) {
        f.run(1000);
        EXPECT_LT(f.metresTo(lat, lon), 5.0);
        lats.push_back(f.lastRecord().latitude());
    }
    EXPECT_NE(*std::min_element(lats.begin(), lats.end()), *std::max_element(lats.begin(), lats.end()));

    // A new altitude is climbed to.
    f.send(uplink::altitude(50));
    f.run(10000);
    EXPECT_EQ(f.lastRecord().altitude(), 500);
}

TEST(SimAircraft, StoresEchoesAndReadsBackTheRoute)
{
    CFlight f;
    f.send(uplink::waypoint(1, 22.615f, 113.844f, 40, 0, 1, 2));
    f.send(uplink::waypoint(2, 22.616f, 113.845f, 50, 0x0102, 100, 100));
    const auto echoes = f.out.with("$SETD", ESimLink::Serial);
    ASSERT_EQ(echoes.size(), 2u);
    const auto e = decode::waypointEcho(echoes[1]);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number, 2);
    EXPECT_EQ(e->latitude, 22.616f);
    EXPECT_EQ(e->longitude, 113.845f);
    EXPECT_EQ(e->altitude, 50);
    EXPECT_EQ(e->photoMode, 100);
    EXPECT_EQ(e->circleFlag, 100);
    EXPECT_EQ(e->circleTime, 0x0102);

    // Stored but not counted yet: the record says 0 until the count frame.
    f.run(300);
    EXPECT_EQ(f.lastRecord().storedWaypointCount(), 0);
    f.send(uplink::waypointCount(2));
    f.run(300);
    EXPECT_EQ(f.lastRecord().storedWaypointCount(), 2);

    f.out.sent.clear();
    f.send(uplink::readbackRequest());
    const auto back = f.out.with("$SETD", ESimLink::Serial);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0][5], 1);
    EXPECT_EQ(back[1][5], 2);

    // Waypoint number 0 is not a waypoint: no store, no echo.
    f.out.sent.clear();
    f.send(uplink::waypoint(0, 1, 2, 3, 0, 0, 0));
    EXPECT_TRUE(f.out.with("$SETD", ESimLink::Serial).empty());
}

TEST(SimAircraft, FliesTheRouteTakingPhotosAlongTheLanesThenReturnsHomeAndLands)
{
    CFlight f;
    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    // Three waypoints about 100 m apart; photos every 20 m from the first one on.
    const std::vector<std::array<double, 2>> route = {
        {lat0 + 0.0009, lon0}, {lat0 + 0.0009, lon0 + 0.001}, {lat0, lon0 + 0.001}};
    f.storeRoute(route, 25, 2);
    f.run(500);
    f.send(uplink::commandCode(kCommandOpenRoute)); // landed: takes off first
    f.run(500);
    EXPECT_TRUE(f.sim.engineOn());
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);

    std::map<int, bool> targetsSeen;
    for (int i = 0; i < 1200 && f.sim.mode() != kSimHover; ++i) {
        f.run(100);
        targetsSeen[f.lastRecord().targetWaypoint()] = true;
        if (f.sim.mode() == kSimRoute) {
            EXPECT_LT(f.sim.groundSpeed(), 6.01);
        }
    }
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_TRUE(targetsSeen[0] && targetsSeen[1] && targetsSeen[2]);
    EXPECT_LT(f.metresTo(route[2][0], route[2][1]), 3.0);
    EXPECT_NEAR(f.sim.altitudeMetres(), 25.0, 0.1);

    // About 200 m of photographed lanes at 20 m: around ten pictures, numbered 1, 2, 3...
    const auto photos = f.out.with("$QUZA", ESimLink::Serial);
    EXPECT_GE(photos.size(), 9u);
    EXPECT_LE(photos.size(), 13u);
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const auto p = decode::photoReport(photos[i]);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->pictureNumber, i + 1);
        EXPECT_NEAR(p->latitude, lat0 + 0.00045, 0.0006);
        EXPECT_GT(p->value19, 20.0f); // altitude
    }

    f.send(uplink::commandCode(kCommandReturnHome));
    f.run(1000);
    EXPECT_EQ(f.lastRecord().controlMode(), 11); // "返航降落"
    for (int i = 0; i < 120 && f.sim.mode() != kSimLanded; ++i)
        f.run(1000);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    EXPECT_FALSE(f.sim.engineOn());
    EXPECT_LT(f.metresTo(lat0, lon0), 3.0);
    f.run(300);
    EXPECT_EQ(f.lastRecord().motorPulses1(), 0);
    EXPECT_EQ(f.lastRecord().altitude(), 0);
    EXPECT_LT(f.lastRecord().takeoffDistance(), 3u);
}

TEST(SimAircraft, WaypointsNowhereOnEarthArePassedOver)
{
    CFlight f;
    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    f.send(uplink::waypoint(1, NAN, static_cast<float>(lon0), 30, 0, 100, 100));
    f.send(uplink::waypoint(2, static_cast<float>(lat0 + 0.0003), static_cast<float>(lon0), 30, 0, 100, 100));
    f.send(uplink::waypoint(3, 95.0f, INFINITY, 30, 0, 100, 100));
    f.send(uplink::waypointCount(3));
    // The echo carries what was stored, NaN included.
    const auto echoes = f.out.with("$SETD", ESimLink::Serial);
    ASSERT_EQ(echoes.size(), 3u);
    EXPECT_TRUE(std::isnan(decode::waypointEcho(echoes[0])->latitude));
    f.send(uplink::commandCode(kCommandOpenRoute));
    for (int i = 0; i < 60; ++i) {
        f.run(1000);
        const CTelemetryRecord r = f.lastRecord();
        ASSERT_TRUE(r.isValidForUpdate());
        ASSERT_TRUE(std::isfinite(r.heading()));
    }
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_LT(f.metresTo(lat0 + 0.0003, lon0), 3.0);
}

TEST(SimAircraft, TargetChangeCloseRouteClickToFlyAndEngineOff)
{
    CFlight f;
    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    f.storeRoute({{lat0 + 0.002, lon0}, {lat0, lon0 + 0.002}, {lat0 - 0.002, lon0}}, 30);
    f.send(uplink::commandCode(kCommandAutoTakeoff));
    f.run(15000);
    f.send(uplink::targetWaypoint(3));
    EXPECT_EQ(f.sim.targetWaypoint(), 2);
    f.send(uplink::targetWaypoint(4)); // beyond the stored route: ignored
    EXPECT_EQ(f.sim.targetWaypoint(), 2);
    f.send(uplink::commandCode(kCommandOpenRoute));
    f.run(5000);
    EXPECT_EQ(f.lastRecord().controlMode(), 2); // "自动导航"
    EXPECT_EQ(f.lastRecord().targetWaypoint(), 2);
    f.send(uplink::commandCode(kCommandCloseRoute));
    f.run(3000);
    EXPECT_EQ(f.sim.mode(), kSimHover);

    const float clickLat = static_cast<float>(lat0 + 0.0005), clickLon = static_cast<float>(lon0 - 0.0005);
    f.send(uplink::clickToFly(clickLat, clickLon));
    f.run(500);
    EXPECT_EQ(f.sim.mode(), kSimClickToFly);
    f.run(60000);
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_LT(f.metresTo(clickLat, clickLon), 4.0);

    f.send(uplink::commandCode(kCommandReceiverOn));
    f.run(300);
    EXPECT_EQ(f.lastRecord().receiverOn(), 1);
    f.send(uplink::commandCode(kCommandReceiverOff));
    f.run(300);
    EXPECT_EQ(f.lastRecord().receiverOn(), 0);

    f.send(uplink::commandCode(kCommandEngineOff));
    f.run(300);
    EXPECT_EQ(f.lastRecord().motorPulses1(), 0);
    EXPECT_EQ(f.lastRecord().motorPulses6(), 0);
    EXPECT_EQ(f.lastRecord().controlMode(), reportedControlMode(kSimEngineOff));
    f.run(10000);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    // Landed with the engine off: a click-to-fly point does nothing.
    f.send(uplink::clickToFly(clickLat + 0.01f, clickLon));
    EXPECT_EQ(f.sim.mode(), kSimLanded);
}

TEST(SimAircraft, ParametersReadWrittenAndRestored)
{
    CFlight f;
    f.send(uplink::parameterRequest());
    auto par = f.out.with("$PAR", ESimLink::Serial);
    ASSERT_EQ(par.size(), 1u);
    const auto defaults = CSimAircraft::defaultParameters();
    EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), par[0].begin() + 4));
    EXPECT_EQ(par[0][32], 150); // 6.0 m/s

    uint8_t values[20];
    for (int k = 0; k < 20; ++k)
        values[k] = static_cast<uint8_t>(100 + k);
    f.send(uplink::parameterWrite(std::span<const uint8_t, 20>(values)));
    EXPECT_EQ(f.out.with("$T2POK", ESimLink::Serial).size(), 1u);
    f.out.sent.clear();
    f.send(uplink::parameterRequest());
    par = f.out.with("$PAR", ESimLink::Serial);
    ASSERT_EQ(par.size(), 1u);
    // Data byte k comes back at its own "$PAR" byte (table of the parameter dialog).
    const int positions[20] = {7, 33, 38, 12, 4, 6, 5, 42, 27, 34, 26, 24, 17, 23, 22, 32, 25, 28, 43, 9};
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(par[0][positions[k]], 100 + k) << "k=" << k;
    EXPECT_EQ(par[0][13], 0); // compass idle

    f.send(uplink::defaultParameterReset());
    f.out.sent.clear();
    f.send(uplink::parameterRequest());
    par = f.out.with("$PAR", ESimLink::Serial);
    EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), par[0].begin() + 4));
}

TEST(SimAircraft, MixingTableWrittenByColumnAndRead)
{
    CFlight f;
    f.send(uplink::commandCode(kCommandCustomRequest));
    auto pur = f.out.with("$PUR", ESimLink::Serial);
    ASSERT_EQ(pur.size(), 1u);
    EXPECT_EQ(pur[0][4], 100);  // M1 throttle
    EXPECT_EQ(pur[0][13], 156); // M2 yaw -100
    const uint8_t column[8] = {236, 1, 2, 3, 4, 5, 6, 128};
    f.send(uplink::commandCodeWithData(kCommandCustomColumn3, std::span<const uint8_t, 8>(column)));
    f.out.sent.clear();
    f.send(uplink::commandCode(kCommandCustomRequest));
    pur = f.out.with("$PUR", ESimLink::Serial);
    ASSERT_EQ(pur.size(), 1u);
    EXPECT_TRUE(std::equal(column, column + 8, pur[0].begin() + 20)); // third column at 20-27
    EXPECT_EQ(pur[0][4], 100);                                        // the others kept
    EXPECT_EQ(pur[0][28], 156);
}

TEST(SimAircraft, CompassCalibrationStreamsEllipsePointsAndReportsItsState)
{
    CFlight f({}, true, true);
    f.send(uplink::compassStep(kCompassHorizontal), ESimLink::Udp);
    f.run(3000);
    f.send(uplink::parameterRequest(), ESimLink::Udp);
    auto par = f.out.with("$PAR", ESimLink::Udp);
    ASSERT_EQ(par.size(), 1u);
    EXPECT_EQ(par[0][13], 'W');
    EXPECT_TRUE(f.out.with("$PAR", ESimLink::Serial).empty()); // answered on the asking link

    const auto xy = f.out.with("$MG2", ESimLink::Serial);
    EXPECT_GE(xy.size(), 25u);
    EXPECT_LE(xy.size(), 35u);
    const auto mg1 = f.out.with("$MG1", ESimLink::Udp);
    ASSERT_FALSE(mg1.empty());
    EXPECT_TRUE(f.out.with("$MG1", ESimLink::Serial).empty());
    const auto c = decode::compassCalibration(mg1.back());
    ASSERT_TRUE(c && c->sumOk);
    double minAngle = 10, maxAngle = -10;
    for (const auto& s : xy) {
        const auto p = decode::compassPoint(s);
        ASSERT_TRUE(p && p->sumOk);
        // Normalised by the reported centre and scale the point lies near the unit circle.
        const double x = (p->first - c->values[0]) / 450.0;
        const double y = (p->second - c->values[1]) * c->values[3] / 450.0;
        EXPECT_NEAR(std::hypot(x, y), 1.0, 0.1);
        const double a = std::atan2(y, x);
        minAngle = std::min(minAngle, a);
        maxAngle = std::max(maxAngle, a);
    }
    EXPECT_GT(maxAngle - minAngle, 3.0); // points go round, not one spot

    f.send(uplink::compassStep(kCompassVertical), ESimLink::Udp);
    f.run(1000);
    EXPECT_FALSE(f.out.with("$MG3", ESimLink::Udp).empty());
    f.send(uplink::compassStep(kCompassSave), ESimLink::Udp);
    const std::size_t mg3 = f.out.with("$MG3", ESimLink::Udp).size();
    f.run(2000);
    EXPECT_EQ(f.out.with("$MG3", ESimLink::Udp).size(), mg3); // streaming stopped
    EXPECT_EQ(f.sim.compassState(), 0);
}

TEST(SimAircraft, HeldUpClockGivesNoBurstAndTheNextDeadlineLiesAhead)
{
    // The process was held up for a second: one point and one GPS line for the gap, not a burst,
    // and the deadline the caller waits for is in the future (a deadline of "now" would make the
    // caller's loop send again at once).
    SSimConfig config;
    config.nmea = true;
    CFlight f(config, true, false);
    f.run(30000); // GPS good
    f.send(uplink::compassStep(kCompassHorizontal));
    f.run(500);
    const std::size_t points = f.out.with("$MG2", ESimLink::Serial).size();
    const std::size_t lines = f.out.with("$GPGGA", ESimLink::Serial).size();
    ASSERT_GT(points, 0u);
    ASSERT_GT(lines, 0u);

    f.now += 2500;
    f.sim.advance(f.now);
    EXPECT_EQ(f.out.with("$MG2", ESimLink::Serial).size(), points + 1);
    EXPECT_EQ(f.out.with("$GPGGA", ESimLink::Serial).size(), lines + 1);
    EXPECT_GT(f.sim.nextDeadlineMs(), f.now);
    f.sim.advance(f.now); // the same instant again: nothing more is due
    EXPECT_EQ(f.out.with("$MG2", ESimLink::Serial).size(), points + 1);
    EXPECT_EQ(f.out.with("$GPGGA", ESimLink::Serial).size(), lines + 1);
    // And the period holds afterwards.
    f.run(1000);
    const std::size_t after = f.out.with("$MG2", ESimLink::Serial).size() - (points + 1);
    EXPECT_GE(after, 9u);
    EXPECT_LE(after, 11u);
}

TEST(SimAircraft, AcknowledgementsGoBackOnTheAskingLink)
{
    CFlight f({}, true, true);
    f.send(uplink::commandCode(kCommandCaptureNeutral), ESimLink::Udp);
    EXPECT_EQ(f.out.with("$DOCAP", ESimLink::Udp).size(), 1u);
    EXPECT_TRUE(f.out.with("$DOCAP", ESimLink::Serial).empty());
    for (int i = 0; i < uplink::kAttitudeAlignmentRepeats; ++i)
        f.send(uplink::attitudeAlignment(), ESimLink::Serial);
    EXPECT_EQ(f.out.with("$STSAT", ESimLink::Serial).size(), 1u); // one per burst
    f.run(3000);
    f.send(uplink::attitudeAlignment(), ESimLink::Serial);
    EXPECT_EQ(f.out.with("$STSAT", ESimLink::Serial).size(), 2u);
}

TEST(SimAircraft, HeartbeatLossIsNoticedAfterThreeSecondsAndItsReturn)
{
    CFlight f;
    f.run(5000);
    EXPECT_TRUE(f.out.notices.empty()); // never heard: nothing lost
    for (int i = 0; i < 3; ++i) {
        f.send(uplink::heartbeat(i % 2));
        f.run(1000);
    }
    EXPECT_TRUE(f.out.notices.empty());
    f.run(1900);
    EXPECT_TRUE(f.out.notices.empty());
    f.run(200);
    ASSERT_EQ(f.out.notices.size(), 1u);
    EXPECT_NE(f.out.notices[0].find("lost"), std::string::npos);
    f.run(10000);
    EXPECT_EQ(f.out.notices.size(), 1u); // reported once
    f.send(uplink::heartbeat(1));
    ASSERT_EQ(f.out.notices.size(), 2u);
    EXPECT_NE(f.out.notices[1].find("back"), std::string::npos);
}

TEST(SimAircraft, AnySequenceOfWellFormedFramesKeepsTheRecordsSound)
{
    std::mt19937 random(11);
    const auto any = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const float odd[] = {NAN, INFINITY, -INFINITY, 1e30f, -91.0f, 0.0f, 22.6143f, 113.8432f};
    CFlight f({}, true, true);
    for (int i = 0; i < 1500; ++i) {
        const float a = any(3) == 0 ? odd[any(8)] : static_cast<float>(22.6 + (any(2000) - 1000) * 1e-5);
        const float b = any(3) == 0 ? odd[any(8)] : static_cast<float>(113.84 + (any(2000) - 1000) * 1e-5);
        uint8_t data[20];
        for (auto& d : data)
            d = static_cast<uint8_t>(random());
        switch (any(10)) {
        case 0:
            f.offer(uplink::commandCode(static_cast<uint8_t>(1 + any(255))));
            break;
        case 1:
            f.offer(uplink::waypoint(static_cast<uint8_t>(any(256)), a, b, any(70000) - 5000, 0, 1, 2));
            break;
        case 2:
            f.offer(uplink::waypointCount(static_cast<uint8_t>(any(256))));
            break;
        case 3:
            f.offer(uplink::targetWaypoint(static_cast<uint8_t>(any(256))));
            break;
        case 4:
            f.offer(uplink::altitude(any(7000)));
            break;
        case 5:
            f.offer(uplink::clickToFly(a, b));
            break;
        case 6:
            f.offer(uplink::compassStep(static_cast<uint8_t>(86 + any(5))));
            break;
        case 7:
            f.offer(uplink::parameterWrite(std::span<const uint8_t, 20>(data)));
            break;
        case 8:
            f.offer(uplink::readbackRequest());
            break;
        default:
            f.offer(uplink::commandCode(any(2) ? kCommandAutoTakeoff : kCommandOpenRoute));
            break;
        }
        f.run(100);
        const CTelemetryRecord r = f.lastRecord();
        ASSERT_TRUE(r.isValidForUpdate()) << "after frame " << i;
        ASSERT_TRUE(std::isfinite(r.heading()));
        ASSERT_LE(r.altitude(), 30000); // within the 3000 m ceiling
    }
}

TEST(SimAircraft, DemoRouteIsASmallLoopAroundHome)
{
    const double lat0 = 22.6142, lon0 = 113.8431;
    const auto route = CSimAircraft::demoRoute(lat0, lon0);
    ASSERT_EQ(route.size(), CSimAircraft::kDemoWaypointCount);
    for (std::size_t i = 0; i < route.size(); ++i) {
        const SSimWaypoint& w = route[i];
        EXPECT_TRUE(w.present);
        EXPECT_EQ(w.altitudeMetres, CSimAircraft::kDemoAltitudeM);
        EXPECT_EQ(w.circleFlag, 0);
        double n = 0, e = 0;
        CSimAircraft::offsetMetres(lat0, lon0, w.latitude, w.longitude, n, e);
        EXPECT_NEAR(std::hypot(n, e), CSimAircraft::kDemoRadiusM, 2.0) << "waypoint " << i + 1;
        // Corners of a regular pentagon: neighbours 2 r sin 36 degrees apart.
        const SSimWaypoint& next = route[(i + 1) % route.size()];
        CSimAircraft::offsetMetres(w.latitude, w.longitude, next.latitude, next.longitude, n, e);
        EXPECT_NEAR(std::hypot(n, e), 2 * CSimAircraft::kDemoRadiusM * std::sin(36 * M_PI / 180), 3.0);
    }
    // The first one lies due north, the second to the east of it.
    EXPECT_GT(route[0].latitude, lat0);
    EXPECT_NEAR(route[0].longitude, lon0, 1e-5);
    EXPECT_GT(route[1].longitude, lon0);
}

TEST(SimAircraft, DemoTakesOffByItselfAndFliesItsLoopOverAndOver)
{
    SSimConfig config;
    config.demo = true;
    config.homeLatitude = -33.95; // somewhere else than the default field
    config.homeLongitude = 151.18;
    CFlight f(config, false, true);
    const auto route = CSimAircraft::demoRoute(config.homeLatitude, config.homeLongitude);

    // On the ground with the route stored until the take-off delay has passed.
    f.run(CSimAircraft::kDemoTakeoffDelayMs - 100);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    EXPECT_FALSE(f.sim.engineOn());
    EXPECT_EQ(f.lastRecord(ESimLink::Udp).storedWaypointCount(), 5);
    f.run(300);
    EXPECT_TRUE(f.sim.engineOn());
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);
    EXPECT_TRUE(f.sim.routeOpen());

    // Every waypoint is reached in turn, and after the last one the first comes again.
    std::vector<double> closest(route.size(), 1e9);
    std::vector<int> targets;
    double farthestFromHome = 0;
    for (int i = 0; i < 6000 && !(targets.size() >= 6 && f.sim.targetWaypoint() == 1); ++i) {
        f.run(100);
        const uint8_t t = f.lastRecord(ESimLink::Udp).targetWaypoint();
        if (targets.empty() || targets.back() != t) targets.push_back(t);
        ASSERT_LT(t, route.size());
        closest[t] = std::min(closest[t], f.metresTo(route[t].latitude, route[t].longitude));
        farthestFromHome = std::max(farthestFromHome, f.metresTo(config.homeLatitude, config.homeLongitude));
        if (f.sim.mode() == kSimRoute) {
            EXPECT_LT(f.sim.groundSpeed(), 6.01);
        }
    }
    EXPECT_EQ(targets, (std::vector<int>{0, 1, 2, 3, 4, 0, 1}));
    for (std::size_t i = 0; i < route.size(); ++i)
        EXPECT_LT(closest[i], 3.0) << "waypoint " << i + 1;
    EXPECT_GT(farthestFromHome, CSimAircraft::kDemoRadiusM - 5);
    EXPECT_LT(farthestFromHome, CSimAircraft::kDemoRadiusM + 10);
    EXPECT_EQ(f.sim.mode(), kSimRoute);
    EXPECT_NEAR(f.sim.altitudeMetres(), CSimAircraft::kDemoAltitudeM, 0.5);

    // The operator's commands still apply: home it comes, lands, and stays down.
    f.send(uplink::commandCode(kCommandReturnHome), ESimLink::Udp);
    for (int i = 0; i < 200 && f.sim.mode() != kSimLanded; ++i)
        f.run(1000);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    EXPECT_LT(f.metresTo(config.homeLatitude, config.homeLongitude), 3.0);
    f.run(10000);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    EXPECT_FALSE(f.sim.engineOn());
}

TEST(SimAircraft, DemoLeavesAnAircraftAloneThatTheOperatorAlreadyFlies)
{
    SSimConfig config;
    config.demo = true;
    CFlight f(config, false, true);
    f.run(500);
    f.send(uplink::commandCode(kCommandAutoTakeoff), ESimLink::Udp);
    f.run(CSimAircraft::kDemoTakeoffDelayMs + 15000);
    EXPECT_EQ(f.sim.mode(), kSimHover); // not sent off on the loop
    EXPECT_NEAR(f.sim.altitudeMetres(), CSimAircraft::kDefaultTakeoffAltitudeM, 0.1);

    // Without --demo nothing takes off by itself and no route is stored.
    CFlight plain;
    plain.run(20000);
    EXPECT_EQ(plain.sim.mode(), kSimLanded);
    EXPECT_EQ(plain.sim.storedWaypointCount(), 0);
}

TEST(FaultInjector, LossCorruptionSplitSilenceAndSeed)
{
    std::vector<uint8_t> s(99);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<uint8_t>(i);

    CFaultInjector clean(SFaultConfig{});
    const auto whole = clean.apply(s, 0);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0], s);

    SFaultConfig lossy;
    lossy.lossProbability = 0.1;
    CFaultInjector loss(lossy);
    int kept = 0;
    for (int i = 0; i < 10000; ++i)
        kept += loss.apply(s, 0).empty() ? 0 : 1;
    EXPECT_GT(kept, 8700);
    EXPECT_LT(kept, 9300);
    EXPECT_EQ(loss.sentencesLost(), static_cast<std::size_t>(10000 - kept));

    SFaultConfig corrupting;
    corrupting.corruptProbability = 0.05;
    CFaultInjector corrupt(corrupting);
    std::size_t changed = 0;
    for (int i = 0; i < 200; ++i) {
        const auto out = corrupt.apply(s, 0);
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(out[0].size(), s.size());
        for (std::size_t j = 0; j < s.size(); ++j)
            changed += out[0][j] != s[j];
    }
    EXPECT_EQ(changed, corrupt.bytesCorrupted()); // every flip changes its byte
    EXPECT_GT(changed, 700u);
    EXPECT_LT(changed, 1300u);

    SFaultConfig splitting;
    splitting.split = true;
    splitting.silentAfterSeconds = 2;
    CFaultInjector split(splitting);
    const auto pieces = split.apply(s, 1999);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(pieces[0].empty());
    EXPECT_FALSE(pieces[1].empty());
    std::vector<uint8_t> joined = pieces[0];
    joined.insert(joined.end(), pieces[1].begin(), pieces[1].end());
    EXPECT_EQ(joined, s);
    EXPECT_TRUE(split.apply(s, 2000).empty());
    EXPECT_EQ(split.sentencesSilenced(), 1u);

    // The same seed repeats the same faults.
    SFaultConfig seeded = corrupting;
    seeded.lossProbability = 0.3;
    seeded.seed = 42;
    CFaultInjector a(seeded), b(seeded);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(a.apply(s, 0), b.apply(s, 0));
    seeded.seed = 43;
    CFaultInjector c(seeded);
    CFaultInjector a2(SFaultConfig{seeded.lossProbability, seeded.corruptProbability, false, -1, 42});
    bool differs = false;
    for (int i = 0; i < 100; ++i)
        differs |= a2.apply(s, 0) != c.apply(s, 0);
    EXPECT_TRUE(differs);
}

} // namespace
