// The announcer on the ground station: "$STP" frames written byte by byte enter as serial bytes,
// the station applies them and the station's voice tick drives the intervals.
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/GroundStation.h"
#include "voice/VoiceAnnouncer.h"
#include "voice/VoiceHookup.h"

using namespace orvex;

namespace {

class CListeningEngine : public ISpeechEngine {
public:
    std::vector<std::string> heard;
    bool isAvailable() const override { return true; }
    void configure(const SSpeechConfig&) override {}
    void speak(const std::string& text) override { heard.push_back(text); }
    void beep(int, int) override { heard.push_back("<beep>"); }
};

// One "$STP" sentence with the fields the announcer reads; supply 1024 counts: 5.0 V.
std::vector<uint8_t> stp(float latitude, float longitude, int satellites, int altitude, int receiverOn, int pulses,
                         int preset)
{
    StpBytes b = stpRecord(latitude, longitude);
    b[24] = static_cast<uint8_t>(satellites);
    b[48] = static_cast<uint8_t>(altitude & 0xFF);
    b[49] = static_cast<uint8_t>((altitude >> 8) & 0xFF);
    b[53] = static_cast<uint8_t>(receiverOn);
    b[56] = static_cast<uint8_t>(pulses);
    b[70] = 0x00;
    b[71] = 0x04;
    b[84] = static_cast<uint8_t>(preset & 0xFF);
    b[85] = static_cast<uint8_t>((preset >> 8) & 0xFF);
    sealStp(b);
    return std::vector<uint8_t>(b.begin(), b.end());
}

class VoiceStation : public ::testing::Test {
protected:
    CTempDir tmp{"orvex-voice-station"};
    std::string dir = tmp.path();
    void writeIni(const std::string& text) { std::ofstream(dir + "Korva.ini", std::ios::binary) << text; }
    void receive(CGroundStation& station, const std::vector<uint8_t>& frame)
    {
        station.receiveSerialBytes(frame);
        const uint8_t next[] = {'$'};
        station.receiveSerialBytes(next);
    }
};

TEST_F(VoiceStation, RecordsAndTicksReachTheAnnouncerWithTheStationsSettings)
{
    writeIni("[Voice]\r\nGpsStarState=1\r\nZhuanSuState=1\r\nHigh=1\r\n[WayPoint]\r\nFenPin=2\r\n");
    CGroundStation station(CAppPaths(dir, dir));
    station.loadStartupSettings();
    CListeningEngine engine;
    CVoiceAnnouncer announcer(&engine);
    attachVoiceAnnouncer(station, announcer);

    receive(station, stp(22.5f, 113.0f, 9, 321, 1, 8, 3000)); // 8 pulses / 2 per turn: 240 rpm
    EXPECT_EQ(announcer.lastEngineSpeed(), 240) << "the station's FenPin divides";
    receive(station, stp(22.5f, 113.0f, 3, 321, 1, 0, 3000));
    EXPECT_EQ(engine.heard, (std::vector<std::string>{"<beep>", ",GPS Satellites is 3", "<beep>", ",Engine Off",
                                                      ",Engine Off", ",Engine Off"}));
    EXPECT_EQ(announcer.tickCounter(), -10);
    engine.heard.clear();

    for (int t = 0; t < 15; ++t) { // one record a second
        receive(station, stp(22.5f, 113.0f, 3, -7, 1, 0, 3000));
        station.voiceTick();
    }
    EXPECT_EQ(engine.heard, (std::vector<std::string>{", Altitude is Minus 7", ", Altitude is Minus 7"}));
}

TEST_F(VoiceStation, RecordsFailingValidationAreNotAnnounced)
{
    writeIni("[Voice]\r\nGpsStarState=1\r\n");
    CGroundStation station(CAppPaths(dir, dir));
    CListeningEngine engine;
    CVoiceAnnouncer announcer(&engine);
    attachVoiceAnnouncer(station, announcer);
    receive(station, stp(22.5f, 113.0f, 9, 0, 1, 0, 3000));
    receive(station, stp(91.0f, 113.0f, 2, 0, 1, 0, 3000)); // latitude out of range
    EXPECT_TRUE(engine.heard.empty());
    receive(station, stp(22.5f, 113.0f, 2, 0, 1, 0, 3000));
    EXPECT_EQ(engine.heard, (std::vector<std::string>{"<beep>", ",GPS Satellites is 2"}));
}

} // namespace
