// The announcer's rules, driven with records built byte by byte at their positions in the "$STP"
// sentence and with ticks called by hand; a recording engine stands in for the loudspeaker.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "protocol/TelemetryRecord.h"
#include "voice/VoiceAnnouncer.h"

using namespace orvex;

namespace {

const std::string kBeep = "<beep 750 200>";

class CRecordingEngine : public ISpeechEngine {
public:
    bool available = true;
    std::vector<std::string> heard;
    std::vector<SSpeechConfig> configs;

    bool isAvailable() const override { return available; }
    void configure(const SSpeechConfig& config) override { configs.push_back(config); }
    void speak(const std::string& text) override { heard.push_back(text); }
    void beep(int frequencyHz, int durationMs) override
    {
        heard.push_back("<beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs) + ">");
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(heard);
        return out;
    }
};

struct SRecordValues {
    int satellites = 10;
    int altitude = 0;       // 0.1 m, signed
    int receiverOn = 1;     // remote control 0, parachute 0: the announcer's starting state
    int pulses = 0;
    int supplyRaw = 1000;
    int preset = 3000;      // far from the altitudes used, unless a test sets it
};

CTelemetryRecord makeRecord(const SRecordValues& v)
{
    CTelemetryRecord::Bytes b{};
    b[0] = '$';
    b[1] = 'S';
    b[2] = 'T';
    b[3] = 'P';
    b[24] = static_cast<uint8_t>(v.satellites);
    b[48] = static_cast<uint8_t>(v.altitude & 0xFF);
    b[49] = static_cast<uint8_t>((v.altitude >> 8) & 0xFF);
    b[53] = static_cast<uint8_t>(v.receiverOn);
    b[56] = static_cast<uint8_t>(v.pulses);
    b[70] = static_cast<uint8_t>(v.supplyRaw & 0xFF);
    b[71] = static_cast<uint8_t>((v.supplyRaw >> 8) & 0xFF);
    b[84] = static_cast<uint8_t>(v.preset & 0xFF);
    b[85] = static_cast<uint8_t>((v.preset >> 8) & 0xFF);
    return CTelemetryRecord(b);
}

using Phrases = std::vector<std::string>;

class VoiceAnnouncerTest : public ::testing::Test {
protected:
    CRecordingEngine engine;
    CVoiceAnnouncer announcer{&engine};
    SRecordValues values;

    void start(SVoiceSettings settings)
    {
        announcer.initialise(settings);
        engine.take();
    }
    Phrases apply()
    {
        announcer.applyRecord(makeRecord(values));
        return engine.take();
    }
    // One second: a record arrives, then the timer ticks.
    Phrases second()
    {
        announcer.applyRecord(makeRecord(values));
        announcer.tick();
        return engine.take();
    }
};

SVoiceSettings allAlerts()
{
    SVoiceSettings s;
    s.rcState = s.umState = s.zhuanSuState = s.gpsStarState = s.highState = 1;
    return s;
}

TEST_F(VoiceAnnouncerTest, SatelliteLossOnlyWhenFallingFromAboveFiveToBelowFive)
{
    start(allAlerts());
    values.satellites = 8;
    EXPECT_EQ(apply(), Phrases{});
    values.satellites = 4;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",GPS Satellites is 4"}));
    EXPECT_EQ(announcer.tickCounter(), -5);

    values.satellites = 6;
    apply();
    values.satellites = 5;
    EXPECT_EQ(apply(), Phrases{}) << "5 is not below 5";
    values.satellites = 4;
    EXPECT_EQ(apply(), Phrases{}) << "5 is not above 5";

    values.satellites = 9;
    apply();
    values.satellites = 0;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",GPS Satellites is 0"}));
}

TEST_F(VoiceAnnouncerTest, SatelliteLossSilentWhenSwitchedOffButCountStillFollowed)
{
    SVoiceSettings s = allAlerts();
    s.gpsStarState = 0;
    start(s);
    values.satellites = 8;
    apply();
    values.satellites = 4;
    EXPECT_EQ(apply(), Phrases{});
    EXPECT_EQ(announcer.tickCounter(), 0);
}

TEST_F(VoiceAnnouncerTest, EngineOffSpokenThreeTimesAfterOneBeepOnlyFromAboveHundredRpm)
{
    start(allAlerts()); // FenPin 1
    values.pulses = 3;
    apply();
    EXPECT_EQ(announcer.lastEngineSpeed(), 180);
    values.pulses = 0;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",Engine Off", ",Engine Off", ",Engine Off"}));
    EXPECT_EQ(announcer.tickCounter(), -5) << "one event costs 5 ticks however often it is repeated";

    values.pulses = 1; // 60 rpm
    apply();
    values.pulses = 0;
    EXPECT_EQ(apply(), Phrases{});
}

TEST_F(VoiceAnnouncerTest, EngineSpeedDividesByFenPinAndAZeroDivisorCountsAsOne)
{
    SVoiceSettings s = allAlerts();
    s.fenPin = 2;
    start(s);
    values.pulses = 3; // 90 rpm with two pulses per revolution: not running fast enough to warn
    apply();
    EXPECT_EQ(announcer.lastEngineSpeed(), 90);
    values.pulses = 0;
    EXPECT_EQ(apply(), Phrases{});

    announcer.setFenPin(0);
    values.pulses = 255;
    apply();
    EXPECT_EQ(announcer.lastEngineSpeed(), 255 * 60);
    announcer.setFenPin(-4);
    values.pulses = 0;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",Engine Off", ",Engine Off", ",Engine Off"}));

    s.fenPin = 0;
    start(s);
    EXPECT_EQ(announcer.settings().fenPin, 1);
}

TEST_F(VoiceAnnouncerTest, PresetAltitudeReachedLostAndReachedAgain)
{
    start(allAlerts());
    values.preset = 100;
    const std::vector<std::pair<int, Phrases>> steps = {
        {50, {}},
        {90, {kBeep, ",Arrive Preset Altitude"}},
        {86, {}}, // 1.4 m below: still within the band
        {70, {kBeep, ",Altitude Lower"}},
        {95, {kBeep, ",Arrive Preset Altitude"}},
        {95, {}},
        {130, {}}, // above the preset: the band is left silently
        {110, {kBeep, ",Arrive Preset Altitude"}},
    };
    for (const auto& [altitude, expected] : steps) {
        values.altitude = altitude;
        EXPECT_EQ(apply(), expected) << "altitude " << altitude;
    }
}

TEST_F(VoiceAnnouncerTest, PresetBandIsStrictAtFifteen)
{
    start(allAlerts());
    values.preset = 100;
    values.altitude = 85; // exactly 1.5 m below: not within
    EXPECT_EQ(apply(), Phrases{});
    values.altitude = 115;
    EXPECT_EQ(apply(), Phrases{});
    values.altitude = 86;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",Arrive Preset Altitude"}));
    values.altitude = 85; // 15 below: d = 15 is not more than 15, and out of the band
    EXPECT_EQ(apply(), Phrases{});
}

TEST_F(VoiceAnnouncerTest, ReceiverStateByteGivesRemoteControlAndParachute)
{
    start(allAlerts());
    values.receiverOn = 1; // the starting state: nothing to say
    EXPECT_EQ(apply(), Phrases{});
    values.receiverOn = 11; // remote control stays 0, parachute opens
    EXPECT_EQ(apply(), (Phrases{kBeep, ",Parachute Able", ",Parachute Able"}));
    EXPECT_EQ(announcer.tickCounter(), -5);
    values.receiverOn = 0; // remote control 1, parachute 0
    EXPECT_EQ(apply(), (Phrases{kBeep, ",RC Able", kBeep, ",Parachute Disable", ",Parachute Disable"}));
    EXPECT_EQ(announcer.tickCounter(), -15);
    values.receiverOn = 7; // any other value: both 1
    EXPECT_EQ(apply(), (Phrases{kBeep, ",Parachute Able", ",Parachute Able"}));
    values.receiverOn = 1;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",RC Disable", kBeep, ",Parachute Disable", ",Parachute Disable"}));
}

TEST_F(VoiceAnnouncerTest, StateChangesFollowedSilentlyWhenTheirAlertsAreOff)
{
    start(SVoiceSettings{});
    values.receiverOn = 0;
    EXPECT_EQ(apply(), Phrases{});
    SVoiceSettings s;
    s.rcState = 1;
    announcer.initialise(s);
    EXPECT_EQ(apply(), Phrases{}) << "the change to remote control 1 was already taken in";
    values.receiverOn = 1;
    EXPECT_EQ(apply(), (Phrases{kBeep, ",RC Disable"}));
}

TEST_F(VoiceAnnouncerTest, AltitudeEveryTenSecondsAndAnAlertDelaysItByFive)
{
    SVoiceSettings s = allAlerts();
    s.high = 2;
    start(s);
    values.altitude = 1234;
    std::vector<int> spokenAt;
    for (int t = 1; t <= 30; ++t) {
        if (t == 17) { // an alert between two announcements
            values.satellites = 8;
            apply();
            values.satellites = 3;
        }
        const Phrases heard = second();
        for (const std::string& p : heard)
            if (p == ", Altitude is 1234")
                spokenAt.push_back(t);
    }
    EXPECT_EQ(spokenAt, (std::vector<int>{10, 25}));
    EXPECT_EQ(announcer.tickCounter(), 25);
}

TEST_F(VoiceAnnouncerTest, AnAlertJustAfterAnAnnouncementLetsTheCounterPassItsValueAgain)
{
    SVoiceSettings s = allAlerts();
    s.high = 2;
    start(s);
    values.altitude = 70;
    std::vector<int> spokenAt;
    for (int t = 1; t <= 30; ++t) {
        if (t == 12) {
            values.satellites = 8;
            apply();
            values.satellites = 3;
        }
        for (const std::string& p : second())
            if (p == ", Altitude is 70")
                spokenAt.push_back(t);
    }
    // The counter goes back from 11 to 6 and reaches 10 again at second 15.
    EXPECT_EQ(spokenAt, (std::vector<int>{10, 15, 25}));
}

TEST_F(VoiceAnnouncerTest, NegativeAltitudeSpokenAsMinusMagnitude)
{
    SVoiceSettings s;
    s.high = 1;
    start(s);
    values.altitude = -12;
    Phrases all;
    for (int t = 0; t < 5; ++t)
        for (const std::string& p : second())
            all.push_back(p);
    EXPECT_EQ(all, Phrases{", Altitude is Minus 12"});
}

TEST_F(VoiceAnnouncerTest, IntervalsStopWithoutRecordsAndResumeWhereTheyStopped)
{
    SVoiceSettings s;
    s.high = 1;
    start(s);
    values.altitude = 500;
    for (int t = 1; t <= 4; ++t)
        second();
    EXPECT_EQ(announcer.tickCounter(), 4);

    // Records stop after second 4: the flag lasts until the counter is a multiple of 3.
    announcer.tick();
    EXPECT_EQ(engine.take(), Phrases{", Altitude is 500"}); // 5: still within 3 s of the last record
    announcer.tick(); // 6: flag cleared
    for (int t = 0; t < 20; ++t)
        announcer.tick();
    EXPECT_EQ(announcer.tickCounter(), 6);
    EXPECT_FALSE(announcer.recordSeen());
    EXPECT_EQ(engine.take(), Phrases{});

    values.altitude = 600;
    Phrases resumed;
    for (int t = 7; t <= 10; ++t)
        for (const std::string& p : second())
            resumed.push_back(p);
    EXPECT_EQ(resumed, Phrases{", Altitude is 600"});
    EXPECT_EQ(announcer.tickCounter(), 10);
}

TEST_F(VoiceAnnouncerTest, RpmAndLowVoltageIntervals)
{
    SVoiceSettings s;
    s.zhuanSu = 1;
    s.feiKong = 2;
    s.lowVoltageV = 4.5;
    start(s);
    values.pulses = 40;
    values.supplyRaw = 900; // 4.39 V
    Phrases all;
    for (int t = 1; t <= 10; ++t)
        for (const std::string& p : second())
            all.push_back(p);
    EXPECT_EQ(all, (Phrases{",RPM is 2400", ",RPM is 2400", "AP Volt Is 4.4"}));

    values.supplyRaw = 922; // 4.502 V: not below 4.5
    all.clear();
    for (int t = 11; t <= 20; ++t)
        for (const std::string& p : second())
            all.push_back(p);
    EXPECT_EQ(all, (Phrases{",RPM is 2400", ",RPM is 2400"}));
    EXPECT_NEAR(announcer.autopilotVoltage(), 922 * 5.0 / 1024, 1e-9);
}

TEST_F(VoiceAnnouncerTest, CounterWrapsAfterAThousand)
{
    start(SVoiceSettings{});
    for (int t = 1; t <= 1000; ++t)
        second();
    EXPECT_EQ(announcer.tickCounter(), 1000);
    second();
    EXPECT_EQ(announcer.tickCounter(), 0);
    second();
    EXPECT_EQ(announcer.tickCounter(), 1);
}

TEST_F(VoiceAnnouncerTest, HugeIntervalsAndFlappingStatesStayWellDefined)
{
    SVoiceSettings s = allAlerts();
    s.high = 2147483647; // x 5 would overflow int
    start(s);
    for (int i = 0; i < 2000; ++i) {
        values.receiverOn = i % 2 == 0 ? 0 : 11;
        apply();
    }
    // The first record changes only the remote control; every later one changes both states.
    EXPECT_EQ(announcer.tickCounter(), -5 - 1999 * 10);
    for (int t = 0; t < 10; ++t)
        announcer.tick();
    EXPECT_EQ(engine.take(), Phrases{});
}

TEST_F(VoiceAnnouncerTest, NoEngineMeansNoSoundAndNoState)
{
    engine.available = false;
    SVoiceSettings s = allAlerts();
    s.high = 1;
    start(s);
    EXPECT_TRUE(engine.configs.empty());
    values.receiverOn = 0;
    values.satellites = 8;
    apply();
    values.satellites = 2;
    EXPECT_EQ(second(), Phrases{});
    EXPECT_FALSE(announcer.recordSeen());
    EXPECT_EQ(announcer.tickCounter(), 0);

    CVoiceAnnouncer none(nullptr);
    none.initialise(s);
    none.applyRecord(makeRecord(values));
    none.tick();
    EXPECT_FALSE(none.recordSeen());
}

TEST_F(VoiceAnnouncerTest, InitialiseHandsVoiceFormatRateVolumeToTheEngine)
{
    SVoiceSettings s;
    s.speech = 3;
    s.format = 18;
    s.rate = -4;
    s.volume = 80;
    announcer.initialise(s);
    ASSERT_EQ(engine.configs.size(), 1u);
    EXPECT_EQ(engine.configs[0].voiceIndex, 3);
    EXPECT_EQ(engine.configs[0].format, 18);
    EXPECT_EQ(engine.configs[0].rate, -4);
    EXPECT_EQ(engine.configs[0].volume, 80);
}

TEST(VoiceSettingsTest, ReadFromTheSettingsFileWithDefaults)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("orvex-voice-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string ini = (dir / "Korva.ini").string();

    SVoiceSettings d = loadVoiceSettings(CSettings(ini));
    EXPECT_EQ(d.volume, 50);
    EXPECT_EQ(d.high, 0);
    EXPECT_EQ(d.fenPin, 1);
    EXPECT_DOUBLE_EQ(d.lowVoltageV, kDefaultLowVoltageV);

    {
        std::ofstream out(ini);
        out << "[Voice]\r\nSpeech=2\r\nFormat=35\r\nRate=-3\r\nVolume=90\r\nHigh=4\r\nZhuanSu=5\r\n"
               "FeiKong=6\r\nRCState=1\r\nUmState=1\r\nZhuanSuState=1\r\nGpsStarState=1\r\n"
               "HighState=1\r\nLowVolt=4.75\r\n[WayPoint]\r\nFenPin=0\r\n";
    }
    SVoiceSettings s = loadVoiceSettings(CSettings(ini));
    EXPECT_EQ(s.speech, 2);
    EXPECT_EQ(s.format, 35);
    EXPECT_EQ(s.rate, -3);
    EXPECT_EQ(s.volume, 90);
    EXPECT_EQ(s.high, 4);
    EXPECT_EQ(s.zhuanSu, 5);
    EXPECT_EQ(s.feiKong, 6);
    EXPECT_EQ(s.rcState + s.umState + s.zhuanSuState + s.gpsStarState + s.highState, 5);
    EXPECT_DOUBLE_EQ(s.lowVoltageV, 4.75);
    EXPECT_EQ(s.fenPin, 1) << "a FenPin of 0 must never reach the division";
    std::filesystem::remove_all(dir);
}

} // namespace
