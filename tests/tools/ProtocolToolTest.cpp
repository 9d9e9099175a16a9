// `orvex decode` and `orvex frame`, run as a subprocess on hand-built bytes.
#include "core/protocol/ProtocolTestSupport.h"
#include "support/OrvexRun.h"
#include "base/Format.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace orvex::test;
using orvex::strprintf;

namespace {

class ProtocolTool : public ::testing::Test {
protected:
    CTempDir tmp{"orvex-proto"};
    fs::path dir = tmp.dir();

    SOrvexRun run(const std::string& args) { return runOrvex(args, dir); }
    std::string write(const Bytes& b)
    {
        CTempDir::write((dir / "in.bin").string(), std::string(b.begin(), b.end()));
        return shellQuote((dir / "in.bin").string());
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

// Take-off distance 0x01 0x2C (300 m), vibration code 150, lateral velocity 0x80 0x00, vertical
// velocity 0xFF 0xFE.
Bytes stp(float lat, float lon)
{
    return stpFrame(lat, lon, {{46, 0x01}, {52, 0x2C}, {56, 150}, {83, 0x80}, {93, 0x00}, {79, 0xFF}, {89, 0xFE}});
}

TEST_F(ProtocolTool, DecodeTelemetryRecordsWithValidationAndTrackAngle)
{
    const Bytes input = cat({stp(22.5f, 113.5f), stp(91.0f, 113.5f), stp(22.5f, 113.5f), stp(23.5f, 114.5f)});
    const SOrvexRun r = run("decode " + write(input));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 4u) << r.out;
    EXPECT_EQ(l[0].rfind("{\"keyword\":\"$STP\",\"at\":99,", 0), 0u) << l[0];
    for (const char* field : {"\"latitude\":22.5,", "\"vibrationCode\":150", "\"takeoffDistance\":300", "\"ekfVelocityD\":-2",
                              "\"ekfVelocityY\":-32768", "\"valid\":true", "\"trackAngle\":-90"}) // no movement yet
        EXPECT_NE(l[0].find(field), std::string::npos) << field << " in " << l[0];
    EXPECT_NE(l[1].find("\"valid\":false"), std::string::npos); // latitude 91 is stored, not applied
    // The fourth record is measured against the first (three back): north-east, 45 degrees.
    EXPECT_NE(l[3].find("\"trackAngle\":45.0000"), std::string::npos) << l[3];
}

TEST_F(ProtocolTool, DecodeAcknowledgementsGpsAndOtherSentences)
{
    // Waypoint 2 at 22.25, 113.75, 120 m, photo mode 1, circle flag 1, circle time 0x012C.
    Bytes setd = cat({ascii("$SETD"), hex("02 00 00 B2 41 00 80 E3 42 78 00 00 00 01 00 00 00 00 00 01 01 2C 00 00 00")});
    Bytes pur = cat({ascii("$PUR"), hex("80 FF 02 03")});
    zeros(pur, 37 - pur.size());
    const Bytes input = cat({ascii("$T2POK"), ascii("$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"),
                             ascii("$GPGGA,123519.00,4807.0380\r\n"), withSum(setd), pur, ascii("$SATEL!")});
    const std::string standardInput(input.begin(), input.end());
    const SOrvexRun r = runOrvex("decode -", dir, &standardInput);
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
    EXPECT_TRUE(l[5].starts_with("{\"keyword\":\"$SATEL\",\"at\":181,\"message\":\"当前GPS") &&
                l[5].ends_with("\",\"question\":true}"))
        << l[5];

    // With --udp the input is one datagram.
    const Bytes datagram = cat({stp(1.0f, 2.0f), ascii("$T2POK"), ascii("$DOCAP"), stp(3.0f, 4.0f)});
    const auto u = lines(run("decode --udp " + write(datagram)).out);
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[1], "{\"keyword\":\"$DOCAP\",\"at\":210,\"message\":\" 中位捕获成功\"}");
    EXPECT_NE(u[2].find("\"latitude\":3,"), std::string::npos);
}

TEST_F(ProtocolTool, DecodeVerboseReportsDroppedBytesAndBadArgumentsFail)
{
    Bytes bad = stp(1.0f, 2.0f);
    bad[98] ^= 1;
    const Bytes input = cat({ascii("ab"), bad});
    const SOrvexRun r = run("decode --verbose " + write(input));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"reason\":\"noise\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"keyword\":\"$STP\",\"at\":101,\"dropped\":4,\"reason\":\"bad checksum\"}"), std::string::npos)
        << r.out;
    EXPECT_EQ(run("decode " + write(input)).out, "");
    EXPECT_EQ(run("decode --bogus").status, 2);
    EXPECT_EQ(run("decode a b").status, 2);
    const SOrvexRun missing = run("decode " + shellQuote((dir / "nope.bin").string()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nope.bin"), std::string::npos);
}

// Every frame kind from the command line (zeros to 30 bytes are implied): numbers wrap to a byte,
// data bytes may be negative, floats and 20 values parse.
TEST_F(ProtocolTool, FrameParsesItsArgumentsIntoEveryKind)
{
    const std::pair<std::string, std::string> cases[] = {
        {"command -1", "24 57 49 46 49 ff ff ff"},
        {"command-data 138 1 2 3 4 5 6 7 -8", "24 57 49 46 49 8a 8a 8a 01 02 03 04 05 06 07 f8 01 02 03 04 05 06 07 f8"},
        {"gimbal-lock -1 2", "24 57 49 46 49 5c 00 00 80 bf 00 00 00 40 00 00 80 bf 00 00 00 40 5c"},
        {"waypoint 3 22.5 113.5 150 258 1 2", "24 57 49 46 49 53 03 00 00 b4 41 00 00 e3 42 96 00 00 00 01 02 01 02 0c"},
        {"param-write 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20",
         "24 57 49 46 49 73 73 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14 1c 4d 69"},
        {"heartbeat 0", ""},
        {"target 4", "24 57 49 46 49 67 67 04 04"},
        {"altitude 120", "24 57 49 46 49 6a 6a b0 04 b0 04 b0 04"},
        {"fly-to 22.5 113.5", "24 57 49 46 49 51 00 00 b4 41 00 00 e3 42 00 00 b4 41 00 00 e3 42 51"},
        {"compass-step 87", "24 57 49 46 49 69 69 09 57 09 57 09 57"},
        {"param-request", "24 57 49 46 49 68 68 68"},
        {"param-reset", "24 48 46 4d 52"},
        {"waypoint-count 7", "24 57 49 46 49 54 07 07 07 54"},
        {"readback", "24 57 49 46 49 52 52 52"},
        {"heartbeat 1", "24 49 57 46 49 05 dc 05 dc 05 dc 06 0e 05 dc 05 dc 05 dc 06 0e 00 00 00 00 00 00 00 6e 2a"},
    };
    for (const auto& [args, bytes] : cases) {
        const SOrvexRun r = run("frame " + args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        Bytes frame = hex(bytes);
        frame.resize(30, 0);
        std::string text;
        for (uint8_t b : frame)
            text += strprintf(text.empty() ? "%02x" : " %02x", b);
        EXPECT_EQ(r.out, text + "\n") << args;
    }
    EXPECT_EQ(run("frame align").out, "24 53 41 48 52 53\n");
}

TEST_F(ProtocolTool, FrameRejectsBadArguments)
{
    for (const char* args : {"", "nonsense", "command x", "command 1 2", "altitude 12.5", "fly-to 1", "waypoint 1 2 3",
                             "param-write 1 2 3", "readback 1", "command 99999999999"}) {
        const SOrvexRun r = run(std::string("frame ") + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("usage: orvex frame"), std::string::npos) << args;
    }
}

} // namespace
