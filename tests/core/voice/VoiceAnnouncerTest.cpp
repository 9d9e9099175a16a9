// The announcer's rules, driven with "$STP" records written at their byte positions and with
// ticks called by hand; a recording engine stands in for the loudspeaker. Last, the announcer on
// the ground station, fed serial bytes.
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "station/GroundStation.h"
#include "protocol/TelemetryRecord.h"
#include "voice/VoiceAnnouncer.h"
#include "station/VoiceHookup.h"

using namespace orvex;

namespace {

using Phrases = std::vector<std::string>;
using Heard = std::vector<std::pair<int, std::string>>;
const std::string kBeep = "<beep 750 200>";

class CRecordingEngine : public ISpeechEngine {
public:
    bool available = true;
    Phrases heard;
    std::vector<SSpeechConfig> configs;

    bool isAvailable() const override { return available; }
    void configure(const SSpeechConfig& config) override { configs.push_back(config); }
    void speak(const std::string& text) override { heard.push_back(text); }
    void beep(int frequencyHz, int durationMs) override
    {
        heard.push_back("<beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs) + ">");
    }
    Phrases take() { return std::exchange(heard, {}); }
};

// The record fields the announcer reads; receiverOn 1 (remote control 0, parachute 0) is its
// starting state and the preset is far from the altitudes used unless a case sets it.
struct SValues {
    int satellites = 10;
    int altitude = 0; // 0.1 m, signed
    int receiverOn = 1;
    int pulses = 0;
    int supplyRaw = 1000;
    int preset = 3000;
};

// satelliteCount 24, altitude i16 48, receiverOn 53, pulse count 56, supply 70, preset 84.
StpBytes stp(const SValues& v, float latitude = 22.5f)
{
    StpBytes b = stpRecord(latitude, 113.0f);
    b[24] = std::uint8_t(v.satellites);
    putLeU16(&b[48], v.altitude);
    b[53] = std::uint8_t(v.receiverOn);
    b[56] = std::uint8_t(v.pulses);
    putLeU16(&b[70], v.supplyRaw);
    putLeU16(&b[84], v.preset);
    sealStp(b);
    return b;
}

SVoiceSettings allAlerts(int fenPin = 1, int high = 0)
{
    return {.high = high, .rcState = 1, .umState = 1, .zhuanSuState = 1, .gpsStarState = 1, .highState = 1,
            .fenPin = fenPin};
}

class VoiceAnnouncerTest : public ::testing::Test {
protected:
    CRecordingEngine engine;
    CVoiceAnnouncer announcer{&engine};
    SValues values;

    void start(const SVoiceSettings& settings)
    {
        announcer.initialise(settings);
        engine.take();
    }
    Phrases apply()
    {
        announcer.applyRecord(CTelemetryRecord(stp(values)));
        return engine.take();
    }
    // Seconds from..to (inclusive; each a record, then the timer's tick), the phrases with the
    // second each was heard in.
    Heard run(int from, int to, const std::function<void(int)>& before = {})
    {
        Heard out;
        for (int t = from; t <= to; ++t) {
            if (before)
                before(t);
            announcer.applyRecord(CTelemetryRecord(stp(values)));
            announcer.tick();
            for (const std::string& p : engine.take())
                out.emplace_back(t, p);
        }
        return out;
    }
};

// One change between two records and what is said (each beep an event that costs 5 ticks, which
// AltitudeEveryTenSecondsAndAnAlertDelaysItByFive shows).
struct SEdge {
    const char* what;
    int fenPin;
    SValues before, after;
    Phrases said;
};

TEST_F(VoiceAnnouncerTest, AlertsOnTheirEdgesOnly)
{
    const Phrases off = {kBeep, ",Engine Off", ",Engine Off", ",Engine Off"};
    const std::vector<SEdge> edges = {
        {"satellites 8 -> 4", 1, {.satellites = 8}, {.satellites = 4}, {kBeep, ",GPS Satellites is 4"}},
        {"satellites 6 -> 5: 5 is not below 5", 1, {.satellites = 6}, {.satellites = 5}, {}},
        {"satellites 5 -> 4: 5 is not above 5", 1, {.satellites = 5}, {.satellites = 4}, {}},
        {"engine 180 rpm -> 0", 1, {.pulses = 3}, {.pulses = 0}, off},
        {"engine 100 rpm -> 0: not above 100", 3, {.pulses = 5}, {.pulses = 0}, {}},
        {"engine 102 rpm at FenPin 7 -> 0", 7, {.pulses = 12}, {.pulses = 0}, off},
        {"FenPin 0 counts as 1", 0, {.pulses = 2}, {.pulses = 0}, off},
        {"receiver 1 -> 11", 1, {}, {.receiverOn = 11}, {kBeep, ",Parachute Able", ",Parachute Able"}},
        {"receiver 1 -> 7", 1, {}, {.receiverOn = 7}, {kBeep, ",RC Able", kBeep, ",Parachute Able", ",Parachute Able"}},
        {"receiver 7 -> 1", 1, {.receiverOn = 7}, {}, {kBeep, ",RC Disable", kBeep, ",Parachute Disable", ",Parachute Disable"}},
        {"receiver 11 -> 0", 1, {.receiverOn = 11}, {.receiverOn = 0},
         {kBeep, ",RC Able", kBeep, ",Parachute Disable", ",Parachute Disable"}},
    };
    for (const SEdge& e : edges) {
        announcer = CVoiceAnnouncer(&engine);
        start(allAlerts(e.fenPin));
        values = e.before;
        apply();
        values = e.after;
        EXPECT_EQ(apply(), e.said) << e.what;
    }
}

TEST_F(VoiceAnnouncerTest, PresetAltitudeReachedLostAndReachedAgain)
{
    start(allAlerts());
    values.preset = 100;
    const Phrases arrive = {kBeep, ",Arrive Preset Altitude"}, lower = {kBeep, ",Altitude Lower"};
    const std::vector<std::pair<int, Phrases>> steps = {
        {50, {}},  {85, {}},     {115, {}}, // 1.5 m off is outside the band
        {86, arrive}, {90, {}},
        {85, {}},  // 1.5 m below: out of the band, but not more than 1.5 m below
        {95, arrive}, {84, lower},
        {70, {}},  // warned once
        {110, arrive}, {130, {}}, // above the preset: the band is left silently
    };
    for (const auto& [altitude, expected] : steps) {
        values.altitude = altitude;
        EXPECT_EQ(apply(), expected) << "altitude " << altitude;
    }
}

TEST_F(VoiceAnnouncerTest, NoEngineMeansNoSoundAndNoStateAndSwitchedOffAlertsAreSilentButTheStateIsFollowed)
{
    engine.available = false;
    start(allAlerts(1, 1));
    EXPECT_TRUE(engine.configs.empty());
    values.receiverOn = 0;
    values.satellites = 2;
    EXPECT_EQ(run(1, 5), Heard{});
    EXPECT_FALSE(announcer.recordSeen());

    engine.available = true;
    start(SVoiceSettings{});
    values.satellites = 8;
    apply();
    values.satellites = 4;
    EXPECT_EQ(apply(), Phrases{});
    announcer.initialise({.rcState = 1});
    EXPECT_EQ(apply(), Phrases{}) << "the change to remote control 1 was already taken in";
    values.receiverOn = 1;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",RC Disable"}));
}

TEST_F(VoiceAnnouncerTest, AltitudeEveryTenSecondsAndAnAlertDelaysItByFive)
{
    values.altitude = 1234;
    // An alert at second 17 (between two announcements) pushes the next one from 20 to 25; at
    // second 12 the counter goes back from 11 to 6 and passes 10 again at second 15.
    for (const auto& [alertAt, expected] : std::vector<std::pair<int, std::vector<int>>>{
             {0, {10, 20, 30}}, {17, {10, 25}}, {12, {10, 15, 25}}}) {
        announcer = CVoiceAnnouncer(&engine);
        start(allAlerts(1, 2));
        std::vector<int> spokenAt;
        for (const auto& [t, p] : run(1, 30, [&](int t) { values.satellites = t == alertAt ? 3 : 10; }))
            if (p == ", Altitude is 1234")
                spokenAt.push_back(t);
        EXPECT_EQ(spokenAt, expected) << "alert at " << alertAt;
    }
}

TEST_F(VoiceAnnouncerTest, IntervalPhrasesStopWithoutRecordsResumeWhereTheyStoppedAndTheCounterWrapsAfterAThousand)
{
    start({.high = 1, .zhuanSu = 1, .feiKong = 2, .lowVoltageV = 4.5, .fenPin = 2});
    values.altitude = -12;
    values.pulses = 40; // 2400 pulses a minute, 2 per revolution
    values.supplyRaw = 900; // 4.39 V
    EXPECT_EQ(run(1, 10), (Heard{{5, ", Altitude is Minus 12"}, {5, ",RPM is 1200"},
                                 {10, ", Altitude is Minus 12"}, {10, ",RPM is 1200"}, {10, "AP Volt Is 4.4"}}));
    values.altitude = 7;
    EXPECT_EQ(run(11, 13), Heard{});
    // Records stop after second 13: the flag lasts until the counter is a multiple of 3.
    for (int t = 0; t < 20; ++t)
        announcer.tick();
    EXPECT_EQ(engine.take(), (Phrases{", Altitude is 7", ",RPM is 1200"})); // 15: within 3 s of the last record
    EXPECT_EQ(announcer.tickCounter(), 15);
    values.supplyRaw = 922; // 4.502 V: not below 4.5
    EXPECT_EQ(run(16, 20), (Heard{{20, ", Altitude is 7"}, {20, ",RPM is 1200"}}));
    run(21, 1000);
    EXPECT_EQ(announcer.tickCounter(), 1000);
    run(1001, 1002);
    EXPECT_EQ(announcer.tickCounter(), 1);
}

// On the station: its settings file read into the announcer and the engine (an alert is on only
// at 1, so the others have values of their own), serial bytes in, the station's FenPin, records
// failing validation not heard, the station's voice tick driving the intervals.
TEST(VoiceStation, RecordsAndTicksReachTheAnnouncerWithTheStationsSettings)
{
    CTempDir dir("orvex-voice-station");
    CTempDir::write(dir.file("Korva.ini"), "[Voice]\r\nSpeech=2\r\nFormat=35\r\nRate=-3\r\nVolume=90\r\nHigh=2\r\n"
                                           "ZhuanSu=5\r\nFeiKong=6\r\nRCState=3\r\nUmState=4\r\nZhuanSuState=1\r\n"
                                           "GpsStarState=1\r\nHighState=7\r\nLowVolt=4.75\r\n[WayPoint]\r\nFenPin=2\r\n");
    CGroundStation station(CAppPaths(dir.path(), dir.path()));
    station.loadStartupSettings();
    CRecordingEngine engine;
    CVoiceAnnouncer announcer(&engine);
    attachVoiceAnnouncer(station, announcer);
    ASSERT_EQ(engine.configs.size(), 1u);
    const SSpeechConfig& c = engine.configs[0];
    EXPECT_EQ(std::vector<int>({c.voiceIndex, c.format, c.rate, c.volume}), std::vector<int>({2, 35, -3, 90}));
    const SVoiceSettings& s = announcer.settings();
    EXPECT_EQ(std::vector<int>({s.high, s.zhuanSu, s.feiKong, s.rcState, s.umState, s.highState, s.fenPin}),
              std::vector<int>({2, 5, 6, 3, 4, 7, 2}));
    EXPECT_DOUBLE_EQ(s.lowVoltageV, 4.75);
    const auto receive = [&](const SValues& v, float latitude = 22.5f) {
        station.receiveBytes(EFraming::ByteStream, stp(v, latitude));
        station.receiveBytes(EFraming::ByteStream, std::vector<std::uint8_t>{'$'});
    };

    receive({.satellites = 9, .pulses = 8}); // 8 pulses / 2 per turn: 240 rpm
    EXPECT_EQ(announcer.lastEngineSpeed(), 240) << "the station's FenPin divides";
    receive({.satellites = 2, .pulses = 8}, 91.0f); // latitude out of range
    EXPECT_EQ(engine.take(), Phrases{});
    receive({.satellites = 3, .pulses = 0});
    EXPECT_EQ(engine.take(), (Phrases{kBeep, ",GPS Satellites is 3", kBeep, ",Engine Off", ",Engine Off",
                                      ",Engine Off"}));
    for (int t = 0; t < 15; ++t) { // one record a second; the two alerts set the counter back to -10
        receive({.satellites = 3, .altitude = -7});
        station.voiceTick();
    }
    EXPECT_EQ(engine.take(), (Phrases{", Altitude is Minus 7", ",RPM is 0"})) << "due together at 0 only";
}

} // namespace
