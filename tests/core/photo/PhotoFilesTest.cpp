// "PhotoData.txt" and "ParameterSet.txt": exact formats, appending, replacing, failures.
#include "photo/ParameterSetFile.h"
#include "photo/PhotoDataFile.h"
#include "protocol/SentenceDecoders.h"

#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

void putU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
void putF32(std::uint8_t* p, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(p, v);
}

std::array<std::uint8_t, 35> quza(std::uint16_t picture, float lon, float lat, std::int32_t i, float a,
                                  float b, float angle, float c)
{
    std::array<std::uint8_t, 35> f{};
    std::memcpy(f.data(), "$QUZA", 5);
    f[5] = std::uint8_t(picture);
    f[6] = std::uint8_t(picture >> 8);
    putF32(&f[7], lon);
    putF32(&f[11], lat);
    putU32(&f[15], std::uint32_t(i));
    putF32(&f[19], a);
    putF32(&f[23], b);
    putF32(&f[27], angle);
    putF32(&f[31], c);
    return f;
}

SPhotoReport report(const std::array<std::uint8_t, 35>& frame)
{
    auto r = decode::photoReport(frame);
    EXPECT_TRUE(r.has_value());
    return r.value_or(SPhotoReport{});
}

// A $P2T frame: head, 78 values from byte 4, the 8-bit sum at 82.
SParameterSnapshot snapshot(const std::array<std::uint8_t, 83>& frame)
{
    auto f = frame;
    std::uint8_t sum = 0;
    for (int i = 0; i < 82; ++i)
        sum = std::uint8_t(sum + f[i]);
    f[82] = sum;
    auto r = decode::parameterSnapshot(f);
    EXPECT_TRUE(r.has_value());
    return r.value_or(SParameterSnapshot{});
}

std::string readText(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class PhotoFiles : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-photo"};
    fs::path dir = tmp.dir();
};

} // namespace

TEST_F(PhotoFiles, ColumnsAreRightAlignedAsTheFormatSets)
{
    const fs::path path = dir / "PhotoData.txt";
    CPhotoDataFile file(path.string());
    file.write(report(quza(7, 113.5f, 22.25f, 0, 0, 0, 0, 0)));
    file.write(report(quza(1234, -73.985130f, 40.758896f, -12, 101.25f, -3.04f, 3.14159274f, 12.34f)));
    file.write(report(quza(65535, 0, 0, 2147483647, 0, 0, -1.5707963f, 0)));
    EXPECT_EQ(readText(path), "  7  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n"
                              "1234  -73.985130  40.758896 -12 101.2 -3.0 180.0  12.3\n"
                              "65535    0.000000   0.000000 2147483647 0.0 0.0 -90.0   0.0\n");
}

TEST_F(PhotoFiles, LinesAreAppendedAcrossRunsAndReachTheDiskAtOnce)
{
    const fs::path path = dir / "PhotoData.txt";
    {
        CPhotoDataFile run1(path.string());
        auto r = run1.write(report(quza(1, 113.5f, 22.25f, 0, 0, 0, 0, 0)));
        EXPECT_TRUE(r.written);
        EXPECT_TRUE(r.message.empty());
        // Unbuffered: visible to a reader while the file is still open.
        EXPECT_EQ(readText(path), "  1  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n");
        EXPECT_TRUE(run1.isOpen());
    }
    CPhotoDataFile run2(path.string());
    run2.write(report(quza(2, 113.5f, 22.25f, 0, 0, 0, 3.14159274f, 0)));
    run2.close();
    EXPECT_EQ(readText(path), "  1  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n"
                              "  2  113.500000  22.250000   0 0.0 0.0 180.0   0.0\n");
}

TEST_F(PhotoFiles, FailureIsToldOnceThenAgainOnlyAfterARecovery)
{
    const fs::path path = dir / "sub" / "PhotoData.txt"; // directory missing: open fails
    CPhotoDataFile file(path.string());
    auto first = file.write(report(quza(1, 1, 1, 0, 0, 0, 0, 0)));
    EXPECT_FALSE(first.written);
    EXPECT_NE(first.message.find("PhotoData.txt"), std::string::npos);
    auto second = file.write(report(quza(2, 1, 1, 0, 0, 0, 0, 0)));
    EXPECT_FALSE(second.written);
    EXPECT_TRUE(second.message.empty()) << "told once";
    fs::create_directory(dir / "sub");
    EXPECT_TRUE(file.write(report(quza(3, 1, 1, 0, 0, 0, 0, 0))).written) << "retries at the next report";
    EXPECT_EQ(readText(path).substr(0, 3), "  3");
}

TEST_F(PhotoFiles, WriteErrorOnAFullDeviceIsReported)
{
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    CPhotoDataFile file("/dev/full");
    auto r = file.write(report(quza(1, 1, 1, 0, 0, 0, 0, 0)));
    EXPECT_FALSE(r.written);
    EXPECT_FALSE(r.message.empty());
}

TEST(ParameterSetText, EightLinesOfTheGivenLengths)
{
    std::array<std::uint8_t, 83> frame{};
    std::memcpy(frame.data(), "$P2T", 4);
    for (int i = 0; i < 78; ++i)
        frame[4 + i] = std::uint8_t(i * 3 + 200); // wraps: unsigned values 200..255 then 0..
    const std::string text = parameterSetText(snapshot(frame).values);
    std::istringstream lines(text);
    std::string line;
    const int expected[8] = {6, 9, 10, 10, 10, 10, 11, 12};
    int lineNo = 0, index = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(lineNo, 8);
        std::istringstream numbers(line);
        int n = 0;
        unsigned v;
        while (numbers >> v) {
            EXPECT_EQ(v, unsigned(std::uint8_t(index * 3 + 200)));
            ++n;
            ++index;
        }
        EXPECT_EQ(n, expected[lineNo]) << "line " << lineNo;
        EXPECT_EQ(line.find("  "), std::string::npos);
        ++lineNo;
    }
    EXPECT_EQ(lineNo, 8);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.substr(0, 24), "200 203 206 209 212 215\n");
}

TEST_F(PhotoFiles, ParameterSnapshotReplacesTheFileAndSaysSoOnlyWhenWritten)
{
    const fs::path path = dir / "ParameterSet.txt";
    std::array<std::uint8_t, 83> frame{};
    std::memcpy(frame.data(), "$P2T", 4);
    frame[4] = 9;
    CParameterSetFile file(path.string());
    auto r1 = file.write(snapshot(frame));
    EXPECT_TRUE(r1.written);
    EXPECT_EQ(r1.message, "Parameter is successfuly Saved!");
    EXPECT_EQ(readText(path).substr(0, 2), "9 ");
    frame[4] = 77;
    EXPECT_TRUE(file.write(snapshot(frame)).written);
    const std::string text = readText(path);
    EXPECT_EQ(text.substr(0, 3), "77 ");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8) << "replaced, not appended";
    EXPECT_FALSE(fs::exists(dir / "ParameterSet.txt.tmp"));

    CParameterSetFile nowhere((dir / "missing" / "ParameterSet.txt").string());
    auto bad = nowhere.write(snapshot(frame));
    EXPECT_FALSE(bad.written);
    EXPECT_EQ(bad.message.find("successfuly"), std::string::npos);
    EXPECT_NE(bad.message.find("ParameterSet.txt"), std::string::npos);
    EXPECT_EQ(readText(path).substr(0, 3), "77 ") << "a failed write elsewhere leaves this snapshot";
}
