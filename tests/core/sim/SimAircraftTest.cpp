// The simulated aircraft driven by a test clock: what it sends, how it flies the commands, what it
// answers, and the faults and heartbeat watch around it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/SentenceDecoders.h"
#include "protocol/Uplink.h"
#include "protocol/UplinkParser.h"
#include "sim/FaultInjector.h"
#include "sim/SimAircraft.h"

using namespace orvex;

namespace {

using Bytes = std::vector<uint8_t>;

class CFlight : public ISimOutput {
  public:
    explicit CFlight(SSimConfig config = {}, bool serial = true, bool udp = false) : sim(config, *this)
    {
        sim.setLinkActive(ESimLink::Serial, serial);
        sim.setLinkActive(ESimLink::Udp, udp);
        sim.start(0);
    }
    void send(ESimLink link, std::span<const uint8_t> s) override { sent.emplace_back(link, Bytes(s.begin(), s.end())); }
    void notice(const std::string& t) override { notices.push_back(t); }

    void run(int64_t ms)
    {
        for (const int64_t end = now + ms; now < end;)
            sim.advance(now += 10);
    }
    void up(const Bytes& frame, ESimLink from = ESimLink::Serial)
    {
        SUplinkFrame f;
        ASSERT_TRUE(parseUplinkFrame(frame, f));
        sim.onUplink(f, from, now);
    }
    // Sentences whose head starts with `head`, on `link`.
    std::vector<Bytes> with(const std::string& head, ESimLink link = ESimLink::Serial) const
    {
        std::vector<Bytes> out;
        for (const auto& [l, s] : sent)
            if (l == link && s.size() >= head.size() && std::memcmp(s.data(), head.data(), head.size()) == 0)
                out.push_back(s);
        return out;
    }
    CTelemetryRecord last(ESimLink link = ESimLink::Serial) const
    {
        const auto stp = with("$STP", link);
        return stp.empty() ? CTelemetryRecord{} : *CTelemetryRecord::fromBytes(stp.back());
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
            up(uplink::waypoint(uint8_t(i + 1), float(points[i][0]), float(points[i][1]), altitude, 0, 100, photoMode));
        up(uplink::waypointCount(uint8_t(points.size())));
    }
    void runUntil(ESimMode mode, int seconds)
    {
        for (int i = 0; i < seconds && sim.mode() != mode; ++i)
            run(1000);
    }

    std::vector<std::pair<ESimLink, Bytes>> sent;
    std::vector<std::string> notices;
    CSimAircraft sim;
    int64_t now = 0;
};

TEST(SimAircraft, RecordsAtTheRateOnEveryActiveLinkGpsComesUpAndAHeldUpClockGivesNoBurst)
{
    CFlight f({.rateHz = 20, .nmea = true}, true, true);
    f.sim.setTimeOfDay(20, 15, 30);
    f.sim.setUtcTimeOfDay(12, 15, 30);
    f.run(2000);
    EXPECT_EQ(f.with("$STP").size(), 41u); // t = 0, 50, ..., 2000 ms
    EXPECT_EQ(f.with("$STP", ESimLink::Udp).size(), 41u);
    EXPECT_EQ(f.last().timeHour(), 20); // the record carries local time
    // No GPS lines nor "$SATEL" before the satellites are good; then once a second on serial only.
    EXPECT_TRUE(f.with("$GPGGA").empty() && f.with("$SATEL").empty());
    f.run(8000);
    EXPECT_EQ(f.with("$SATEL").size(), 1u);
    const auto lines = f.with("$GPGGA");
    EXPECT_NEAR(double(lines.size()), 6.5, 1.5);
    EXPECT_TRUE(f.with("$GPGGA", ESimLink::Udp).empty());
    const SNmeaLine line = decode::nmeaLine(lines.back());
    ASSERT_TRUE(line.dispatched);
    EXPECT_EQ(line.record.timeHour(), (12 + 16) % 24); // the line carries UTC

    // The clock held up for 2.5 s: one of each is sent, no burst, and the next deadline lies ahead.
    f.up(uplink::compassStep(kCompassHorizontal));
    f.run(500);
    const std::size_t records = f.with("$STP").size(), points = f.with("$MG2").size(), gga = f.with("$GPGGA").size();
    f.now += 2500;
    f.sim.advance(f.now);
    f.sim.advance(f.now); // the same instant again: nothing more is due
    EXPECT_EQ(f.with("$STP").size(), records + 1);
    EXPECT_EQ(f.with("$MG2").size(), points + 1);
    EXPECT_EQ(f.with("$GPGGA").size(), gga + 1);
    EXPECT_GT(f.sim.nextDeadlineMs(), f.now);
}

TEST(SimAircraft, HeartbeatWatchThenWaypointsEchoedCountedWhenToldAndPassedOverWhenNowhere)
{
    CFlight f;
    f.run(5000); // never heard: nothing lost
    f.up(uplink::heartbeat(1));
    f.run(2990);
    EXPECT_TRUE(f.notices.empty());
    f.run(10); // lost at three seconds exactly
    EXPECT_EQ(f.notices.size(), 1u);
    f.run(10000); // reported once
    f.up(uplink::heartbeat(0));
    EXPECT_EQ(f.notices,
              (std::vector<std::string>{"ground station heartbeat lost: none for 3 s", "ground station heartbeat back"}));

    f.up(uplink::waypoint(1, 22.615f, 113.844f, 40, 0, 1, 2));
    f.up(uplink::waypoint(2, 22.616f, 113.845f, 50, 0x0102, 100, 7));
    const auto e = decode::waypointEcho(f.with("$SETD").at(1));
    ASSERT_TRUE(e);
    EXPECT_EQ(std::tie(e->number, e->latitude, e->longitude, e->altitude, e->photoMode, e->circleFlag, e->circleTime),
              std::make_tuple(2, 22.616f, 113.845f, 50, 7, 100, 0x0102));
    f.run(300);
    EXPECT_EQ(f.last().storedWaypointCount(), 0); // stored, not counted until the count frame
    f.up(uplink::waypointCount(2));
    f.run(300);
    EXPECT_EQ(f.last().storedWaypointCount(), 2);
    f.up(uplink::readbackRequest()); // read back as echoed
    EXPECT_EQ(f.with("$SETD").back(), f.with("$SETD").at(1));
    f.run(CSimAircraft::kDemoTakeoffDelayMs + 1000); // not the demonstration: the route waits
    EXPECT_EQ(f.sim.mode(), kSimLanded);

    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    f.storeRoute({{NAN, lon0}, {lat0 + 0.0003, lon0}, {95.0, INFINITY}}, 30);
    f.up(uplink::commandCode(kCommandOpenRoute));
    for (int i = 0; i < 60; ++i) {
        f.run(1000);
        ASSERT_TRUE(f.last().isValidForUpdate());
    }
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_LT(f.metresTo(lat0 + 0.0003, lon0), 3.0);
}

TEST(SimAircraft, FliesTheRoutePhotographingTheLanesThenReturnsHomeAndLands)
{
    CFlight f;
    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    // Three waypoints about 100 m apart; photos every 20 m from the first one on.
    const std::vector<std::array<double, 2>> route = {{lat0 + 0.0009, lon0}, {lat0 + 0.0009, lon0 + 0.001}, {lat0, lon0 + 0.001}};
    f.storeRoute(route, 25, 2);
    f.up(uplink::commandCode(kCommandOpenRoute)); // landed: takes off first
    f.run(500);
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);
    double fastest = 0;
    for (int i = 0; i < 1200 && f.sim.mode() != kSimHover; ++i, f.run(100))
        fastest = std::max(fastest, f.sim.groundSpeed());
    EXPECT_NEAR(fastest, 6.0, 0.01); // the cruise speed of the parameters
    EXPECT_EQ(f.last().targetWaypoint(), 2);
    EXPECT_LT(f.metresTo(route[2][0], route[2][1]), 3.0);
    EXPECT_NEAR(f.sim.altitudeMetres(), 25.0, 0.1);
    // About 200 m of lanes at 20 m: around ten pictures, numbered 1, 2, 3...
    const auto photos = f.with("$QUZA");
    EXPECT_NEAR(double(photos.size()), 11, 2);
    EXPECT_EQ(decode::photoReport(photos.back()).value().pictureNumber, photos.size());
    f.up(uplink::commandCode(kCommandReturnHome));
    f.run(1000);
    EXPECT_EQ(f.last().controlMode(), 11); // "返航降落"
    f.runUntil(kSimLanded, 120);
    EXPECT_FALSE(f.sim.engineOn());
    EXPECT_LT(f.metresTo(lat0, lon0), 3.0);
}

TEST(SimAircraft, TakesOffHoversClimbsThenTargetChangeCloseRouteClickToFlyAndEngineOff)
{
    CFlight f;
    const double lat0 = f.sim.homeLatitude(), lon0 = f.sim.homeLongitude();
    f.storeRoute({{lat0 + 0.002, lon0}, {lat0, lon0 + 0.002}, {lat0 - 0.002, lon0}}, 30);
    f.up(uplink::commandCode(kCommandAutoTakeoff)); // a stored route alone is not flown
    f.run(3000);
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);
    EXPECT_EQ(f.last().controlMode(), 1); // "自动悬停"
    EXPECT_GT(f.last().motorPulses1(), 100);
    f.run(15000);
    const CTelemetryRecord r = f.last();
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_EQ(r.altitude(), 300); // 30 m in 0.1 m
    EXPECT_EQ(r.altitudeReference(), 300);
    f.run(30000); // it drifts, but stays within a few metres
    EXPECT_LT(f.metresTo(lat0, lon0), 5.0);
    EXPECT_NE(f.last().latitude(), r.latitude());
    f.up(uplink::altitude(50));
    f.run(10000);
    EXPECT_EQ(f.last().altitude(), 500);

    f.up(uplink::targetWaypoint(3));
    f.up(uplink::targetWaypoint(4)); // beyond the stored route: ignored
    EXPECT_EQ(f.sim.targetWaypoint(), 2);
    f.up(uplink::waypointCount(3)); // a new route of the same length starts at its first waypoint
    EXPECT_EQ(f.sim.targetWaypoint(), 0);
    f.up(uplink::targetWaypoint(3));
    f.up(uplink::commandCode(kCommandOpenRoute));
    f.run(5000);
    EXPECT_EQ(f.last().controlMode(), 2); // "自动导航"
    EXPECT_EQ(f.last().targetWaypoint(), 2);
    f.up(uplink::commandCode(kCommandCloseRoute));
    f.run(3000);
    EXPECT_EQ(f.sim.mode(), kSimHover);

    const float clickLat = float(lat0 + 0.0005), clickLon = float(lon0 - 0.0005);
    f.up(uplink::clickToFly(clickLat, clickLon));
    f.run(500);
    EXPECT_EQ(f.sim.mode(), kSimClickToFly);
    f.run(60000);
    EXPECT_EQ(f.sim.mode(), kSimHover);
    EXPECT_LT(f.metresTo(clickLat, clickLon), 4.0);

    f.up(uplink::commandCode(kCommandEngineOff));
    f.run(300);
    EXPECT_EQ(f.last().motorPulses6(), 0);
    f.run(10000);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    f.up(uplink::clickToFly(clickLat + 0.01f, clickLon)); // landed, engine off: nothing
    EXPECT_EQ(f.sim.mode(), kSimLanded);
}

// Every request is answered on the link it came by, and only there.
TEST(SimAircraft, RequestsAreAnsweredOnTheAskingLinkOnly)
{
    const struct {
        Bytes request;
        std::string reply;
        std::size_t count;
    } cases[] = {
        {uplink::waypoint(3, 22.6f, 113.8f, 30, 0, 100, 100), "$SETD", 1},
        {uplink::waypoint(0, 22.6f, 113.8f, 30, 0, 100, 100), "$SETD", 0}, // number 0 is no waypoint
        {uplink::readbackRequest(), "$SETD", 2},                             // the two stored ones
        {uplink::parameterRequest(), "$PAR", 1},
        {uplink::parameterWrite(std::array<uint8_t, 20>{}), "$T2POK", 1},
        {uplink::commandCode(kCommandCustomRequest), "$PUR", 1},
        {uplink::commandCode(kCommandCaptureNeutral), "$DOCAP", 1},
        {uplink::commandCode(kCommandCaptureRoll), "$DOYMA", 1},
        {uplink::commandCode(kCommandCapturePitch), "$DOYMM", 1},
        {uplink::attitudeAlignment(), "$STSAT", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        CFlight f({}, true, true);
        f.storeRoute({{22.61, 113.84}, {22.62, 113.84}}, 30);
        f.sent.clear();
        f.up(c.request, ESimLink::Udp);
        EXPECT_EQ(f.with(c.reply, ESimLink::Udp).size(), c.count);
        EXPECT_TRUE(f.with(c.reply).empty());
    }
}

// Writes land where the configuration dialog reads them back, reset restores, the mixing column is
// kept; the compass calibration shows in the parameters and streams until saved.
TEST(SimAircraft, ParametersMixingTableCompassCalibrationAndAlignment)
{
    CFlight f({}, true, true);
    const auto parameters = [&f] {
        f.up(uplink::parameterRequest());
        const Bytes par = f.with("$PAR").back();
        return Bytes(par.begin() + 4, par.end() - 1);
    };
    const auto defaults = CSimAircraft::defaultParameters();
    // "$PAR" byte of each of the 20 data bytes of the write.
    const int at[20] = {7, 33, 38, 12, 4, 6, 5, 42, 27, 34, 26, 24, 17, 23, 22, 32, 25, 28, 43, 9};
    std::array<uint8_t, 20> values;
    std::iota(values.begin(), values.end(), uint8_t{100});
    Bytes written(defaults.begin(), defaults.end());
    for (int k = 0; k < 20; ++k)
        written[at[k] - 4] = values[k];
    f.up(uplink::parameterWrite(values));
    EXPECT_EQ(parameters(), written);
    f.up(uplink::defaultParameterReset());
    EXPECT_EQ(parameters(), Bytes(defaults.begin(), defaults.end()));

    const std::array<uint8_t, 8> column = {236, 1, 2, 3, 4, 5, 6, 128};
    f.up(uplink::commandCodeWithData(kCommandCustomColumn3, column));
    f.up(uplink::commandCode(kCommandCustomRequest));
    const Bytes pur = f.with("$PUR").at(0);
    EXPECT_TRUE(std::equal(column.begin(), column.end(), pur.begin() + 20)); // third column at 20-27
    EXPECT_EQ(pur[4], 100);                                                  // M1 throttle kept
    EXPECT_EQ(pur[28], 156);                                                 // M2 yaw -100 kept

    f.up(uplink::compassStep(kCompassHorizontal), ESimLink::Udp);
    f.run(3000);
    EXPECT_EQ(parameters()[13 - 4], 'W'); // the calibration step is shown in "$PAR" byte 13
    EXPECT_NEAR(double(f.with("$MG2").size()), 30, 5);
    ASSERT_FALSE(f.with("$MG1", ESimLink::Udp).empty()); // the estimate goes to the WiFi link only
    EXPECT_TRUE(f.with("$MG1").empty());
    f.up(uplink::compassStep(kCompassVertical), ESimLink::Udp);
    f.run(1000);
    const std::size_t mg3 = f.with("$MG3", ESimLink::Udp).size();
    EXPECT_GT(mg3, 0u);
    f.up(uplink::compassStep(kCompassSave), ESimLink::Udp);
    f.run(2000);
    EXPECT_EQ(f.with("$MG3", ESimLink::Udp).size(), mg3); // streaming stopped
    EXPECT_EQ(f.sim.compassState(), 0);

    // Attitude alignment: the station sends a burst; one acknowledgement per burst.
    for (int i = 0; i < uplink::kAttitudeAlignmentRepeats; ++i)
        f.up(uplink::attitudeAlignment());
    EXPECT_EQ(f.with("$STSAT").size(), 1u);
    f.run(3000);
    f.up(uplink::attitudeAlignment());
    EXPECT_EQ(f.with("$STSAT").size(), 2u);
}

TEST(SimAircraft, DemoFliesTheLoopAroundHomeOverAndOverUnlessAlreadyFlown)
{
    const SSimConfig config{.homeLatitude = -33.95, .homeLongitude = 151.18, .demo = true}; // not the default field
    CFlight f(config, false, true);
    f.run(CSimAircraft::kDemoTakeoffDelayMs - 100);
    EXPECT_EQ(f.sim.mode(), kSimLanded);
    EXPECT_EQ(f.last(ESimLink::Udp).storedWaypointCount(), 5);
    f.run(300);
    EXPECT_EQ(f.sim.mode(), kSimTakingOff);
    // Every waypoint is reached in turn, and after the last one the first comes again.
    std::vector<int> targets;
    for (int i = 0; i < 6000 && !(targets.size() >= 6 && f.sim.targetWaypoint() == 1); ++i) {
        f.run(100);
        const uint8_t t = f.last(ESimLink::Udp).targetWaypoint();
        if (targets.empty() || targets.back() != t)
            targets.push_back(t);
    }
    EXPECT_EQ(targets, (std::vector<int>{0, 1, 2, 3, 4, 0, 1}));
    EXPECT_NEAR(f.sim.altitudeMetres(), CSimAircraft::kDemoAltitudeM, 0.5);
    f.up(uplink::commandCode(kCommandReturnHome), ESimLink::Udp); // the operator's commands still apply
    f.runUntil(kSimLanded, 200);
    EXPECT_LT(f.metresTo(config.homeLatitude, config.homeLongitude), 3.0);

    CFlight flown(config, false, true);
    flown.up(uplink::commandCode(kCommandAutoTakeoff), ESimLink::Udp);
    flown.run(CSimAircraft::kDemoTakeoffDelayMs + 15000);
    EXPECT_EQ(flown.sim.mode(), kSimHover); // not sent off on the loop
}

TEST(FaultInjector, LossCorruptionSplitSilenceAndSeed)
{
    Bytes s(99);
    std::iota(s.begin(), s.end(), uint8_t{0});
    EXPECT_EQ(CFaultInjector(SFaultConfig{}).apply(s, 0), std::vector<Bytes>{s});
    // Loss 10 %, corruption 5 % of the bytes, both counted; the same seed repeats them, another not.
    CFaultInjector faults(SFaultConfig{0.1, 0.05, false, -1, 42}), again(SFaultConfig{0.1, 0.05, false, -1, 42}),
        other(SFaultConfig{0.1, 0.05, false, -1, 43});
    std::size_t kept = 0, changed = 0;
    bool differs = false;
    for (int i = 0; i < 5000; ++i) {
        const auto out = faults.apply(s, 0);
        EXPECT_EQ(out, again.apply(s, 0));
        differs |= out != other.apply(s, 0);
        if (out.empty())
            continue;
        ASSERT_EQ(out.size(), 1u);
        ++kept;
        for (std::size_t j = 0; j < s.size(); ++j)
            changed += out[0][j] != s[j];
    }
    EXPECT_TRUE(differs);
    EXPECT_NEAR(double(kept), 4500, 150);
    EXPECT_EQ(faults.sentencesLost(), 5000 - kept);
    EXPECT_EQ(changed, faults.bytesCorrupted()); // every flip changes its byte
    EXPECT_NEAR(double(changed), kept * 99 * 0.05, kept * 99 * 0.005);
    // Split in two pieces that join up again; silent from the given second on, or for a while.
    CFaultInjector split(SFaultConfig{.split = true, .silentAfterSeconds = 2});
    const auto pieces = split.apply(s, 1999);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(pieces[0].empty() || pieces[1].empty());
    Bytes joined = pieces[0];
    joined.insert(joined.end(), pieces[1].begin(), pieces[1].end());
    EXPECT_EQ(joined, s);
    EXPECT_TRUE(split.apply(s, 2000).empty());
    const CFaultInjector pause(SFaultConfig{.silentAfterSeconds = 2, .silentForSeconds = 1.5});
    for (const auto& [ms, silent] : {std::pair{1999, false}, {2000, true}, {3499, true}, {3500, false}})
        EXPECT_EQ(pause.silent(ms), silent) << ms;
}

} // namespace
