// `orvex decode` and `orvex frame`, run as a subprocess on hand-built bytes.
#include "support/OrvexRun.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

using SRun = SOrvexRun;

std::string quote(const std::string& s) { return shellQuote(s); }

class ProtocolTool : public ::testing::Test {
protected:
    CTempDir tmp{"orvex-proto"};
    fs::path dir = tmp.dir();

    // Runs orvex with the arguments; `input` (if any) goes in as standard input.
    SRun run(const std::string& args, const Bytes* input = nullptr)
    {
        if (!input)
            return runOrvex(args, dir);
        const std::string bytes(input->begin(), input->end());
        return runOrvex(args, dir, &bytes);
    }
    fs::path write(const std::string& name, const Bytes& b)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return p;
    }
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

Bytes ascii(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

uint8_t sum(const Bytes& b, std::size_t n)
{
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += b[i];
    return static_cast<uint8_t>(s);
}

Bytes stp(float lat, float lon)
{
    StpBytes b = stpRecord(lat, lon);
    b[46] = 0x01; // take-off distance 300 m
    b[52] = 0x2C;
    b[56] = 150;  // vibration code
    b[83] = 0x80; // lateral velocity -32768
    b[93] = 0x00;
    b[79] = 0xFF; // vertical velocity -2
    b[89] = 0xFE;
    sealStp(b);
    return Bytes(b.begin(), b.end());
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(ProtocolTool, DecodeTelemetryRecordsWithValidationAndTrackAngle)
{
    const Bytes input = stp(22.5f, 113.5f) + stp(91.0f, 113.5f) + stp(22.5f, 113.5f) + stp(23.5f, 114.5f);
    const SRun r = run("decode " + quote(write("in.bin", input).string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 4u) << r.out;
    EXPECT_EQ(l[0].rfind("{\"keyword\":\"$STP\",\"at\":99,", 0), 0u) << l[0];
    EXPECT_NE(l[0].find("\"latitude\":22.5,"), std::string::npos);
    EXPECT_NE(l[0].find("\"takeoffDistance\":300"), std::string::npos);
    EXPECT_NE(l[0].find("\"ekfVelocityY\":-32768"), std::string::npos);
    EXPECT_NE(l[0].find("\"ekfVelocityD\":-2"), std::string::npos);
    EXPECT_NE(l[0].find("\"vibrationCode\":150"), std::string::npos);
    EXPECT_NE(l[0].find("\"valid\":true"), std::string::npos);
    EXPECT_NE(l[0].find("\"trackAngle\":-90"), std::string::npos); // against itself: no movement
    EXPECT_NE(l[1].find("\"at\":198"), std::string::npos);
    EXPECT_NE(l[1].find("\"valid\":false"), std::string::npos); // latitude 91 is stored, not applied
    // The fourth record is measured against the first (three back): north-east, 45 degrees.
    EXPECT_NE(l[3].find("\"trackAngle\":45.0000"), std::string::npos) << l[3];
}

TEST_F(ProtocolTool, DecodeAcknowledgementsGpsAndOtherSentences)
{
    Bytes setd(31, 0);
    for (int i = 0; i < 5; ++i)
        setd[i] = static_cast<uint8_t>("$SETD"[i]);
    setd[5] = 2;
    putLeF32(&setd[6], 22.25f);
    putLeF32(&setd[10], 113.75f);
    setd[14] = 120;     // altitude 120 m
    setd[18] = 1;       // photo mode 1
    setd[24] = 1;       // circle flag
    setd[25] = 0x01;    // circle time 0x012C = 300
    setd[26] = 0x2C;
    setd[30] = sum(setd, 30);
    Bytes pur = ascii("$PUR");
    for (int i = 0; i < 32; ++i)
        pur.push_back(static_cast<uint8_t>(i == 0 ? 128 : i == 1 ? 255 : i));
    pur.push_back(0);
    const Bytes input = ascii("$T2POK") + ascii("$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n") +
                        ascii("$GPGGA,123519.00,4807.0380\r\n") + setd + pur + ascii("$SATEL!");
    const SRun r = run("decode -", &input);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 6u) << r.out;
    EXPECT_EQ(l[0], "{\"keyword\":\"$T2POK\",\"at\":7,\"message\":\"AP parameter updateed successfully!!!\"}");
    EXPECT_EQ(l[1], "{\"keyword\":\"$GPGGA\",\"at\":78,\"dispatched\":true,\"latitude\":48.1173,"
                    "\"longitude\":11.516666,\"timeHour\":4,\"timeMinute\":35,\"timeSecond\":19,\"valid\":true}");
    EXPECT_EQ(l[2], "{\"keyword\":\"$GPGGA\",\"at\":106,\"dispatched\":false}");
    EXPECT_EQ(l[3], "{\"keyword\":\"$SETD\",\"at\":137,\"number\":2,\"latitude\":22.25,\"longitude\":113.75,"
                    "\"altitude\":120,\"photoMode\":1,\"circleFlag\":1,\"circleTime\":300}");
    EXPECT_NE(l[4].find("\"values\":[128,-1,2,3,"), std::string::npos) << l[4];
    EXPECT_NE(l[5].find("当前GPS已有效定位"), std::string::npos);
}

TEST_F(ProtocolTool, DecodeUdpTakesTheInputAsOneDatagram)
{
    const Bytes input = stp(1.0f, 2.0f) + ascii("$T2POK") + ascii("$DOCAP") + stp(3.0f, 4.0f);
    const SRun r = run("decode --udp " + quote(write("in.bin", input).string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 3u) << r.out;
    EXPECT_NE(l[0].find("\"latitude\":1,"), std::string::npos);
    EXPECT_EQ(l[1], "{\"keyword\":\"$DOCAP\",\"at\":210,\"message\":\" 中位捕获成功\"}");
    EXPECT_NE(l[2].find("\"latitude\":3,"), std::string::npos);
}

TEST_F(ProtocolTool, DecodeVerboseReportsDroppedBytes)
{
    Bytes bad = stp(1.0f, 2.0f);
    bad[98] ^= 1;
    const Bytes input = ascii("ab") + bad;
    const SRun r = run("decode --verbose " + quote(write("in.bin", input).string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"reason\":\"noise\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"keyword\":\"$STP\",\"at\":101,\"dropped\":4,\"reason\":\"bad checksum\"}"), std::string::npos)
        << r.out;
    const SRun quiet = run("decode " + quote(write("in.bin", input).string()));
    EXPECT_EQ(quiet.out, "");
}

TEST_F(ProtocolTool, DecodeRejectsBadArguments)
{
    EXPECT_EQ(run("decode --bogus").status, 2);
    EXPECT_EQ(run("decode a b").status, 2);
    const SRun missing = run("decode " + quote((dir / "nope.bin").string()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nope.bin"), std::string::npos);
}

TEST_F(ProtocolTool, FrameKinds)
{
    struct {
        std::string args, hex;
    } cases[] = {
        {"command 87", "24 57 49 46 49 57 57 57 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"command -1", "24 57 49 46 49 ff ff ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"command 300", "24 57 49 46 49 2c 2c 2c 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"command-data 138 1 2 3 4 5 6 7 -8",
         "24 57 49 46 49 8a 8a 8a 01 02 03 04 05 06 07 f8 01 02 03 04 05 06 07 f8 00 00 00 00 00 00"},
        {"target 4", "24 57 49 46 49 67 67 04 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"altitude 120", "24 57 49 46 49 6a 6a b0 04 b0 04 b0 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"fly-to 22.5 113.5", "24 57 49 46 49 51 00 00 b4 41 00 00 e3 42 00 00 b4 41 00 00 e3 42 51 00 00 00 00 00 00 00"},
        {"gimbal-lock -1 2", "24 57 49 46 49 5c 00 00 80 bf 00 00 00 40 00 00 80 bf 00 00 00 40 5c 00 00 00 00 00 00 00"},
        {"compass-step 87", "24 57 49 46 49 69 69 09 57 09 57 09 57 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"param-request", "24 57 49 46 49 68 68 68 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"param-write 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20",
         "24 57 49 46 49 73 73 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14 1c 4d 69"},
        {"param-reset", "24 48 46 4d 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"waypoint 3 22.5 113.5 150 258 1 2",
         "24 57 49 46 49 53 03 00 00 b4 41 00 00 e3 42 96 00 00 00 01 02 01 02 0c 00 00 00 00 00 00"},
        {"waypoint-count 7", "24 57 49 46 49 54 07 07 07 54 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"readback", "24 57 49 46 49 52 52 52 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"heartbeat 1", "24 49 57 46 49 05 dc 05 dc 05 dc 06 0e 05 dc 05 dc 05 dc 06 0e 00 00 00 00 00 00 00 6e 2a"},
        {"heartbeat 0", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"align", "24 53 41 48 52 53"},
    };
    for (const auto& c : cases) {
        const SRun r = run("frame " + c.args);
        EXPECT_EQ(r.status, 0) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.hex + "\n") << c.args;
    }
}

TEST_F(ProtocolTool, FrameRejectsBadArguments)
{
    for (const char* args : {"", "nonsense", "command", "command x", "command 1 2", "altitude 12.5", "fly-to 1",
                             "fly-to a b", "waypoint 1 2 3", "param-write 1 2 3", "readback 1", "command 99999999999"}) {
        const SRun r = run(std::string("frame ") + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("usage: orvex frame"), std::string::npos) << args;
    }
}

} // namespace
