// "PhotoData.txt" and "ParameterSet.txt": appending, replacing, failures. The line format itself
// is the decoder's (SentenceDecodersTest).
#include "photo/ParameterSetFile.h"
#include "photo/PhotoDataFile.h"

#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

SPhotoReport report(std::uint16_t picture, float angleRadians = 0)
{
    return {picture, 113.5f, 22.25f, 0, 0, 0, angleRadians};
}

class PhotoFiles : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-photo"};
    fs::path dir = tmp.dir();
    std::string read(const char* name) { return CTempDir::read((dir / name).string()); }
};

} // namespace

TEST_F(PhotoFiles, LinesAreAppendedAcrossRunsAndReachTheDiskAtOnce)
{
    const fs::path path = dir / "PhotoData.txt";
    {
        CPhotoDataFile run1(path.string());
        EXPECT_EQ(run1.write(report(1)).message, "");
        // Unbuffered: visible to a reader while the file is still open.
        EXPECT_EQ(read("PhotoData.txt"), "  1  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n");
    }
    CPhotoDataFile run2(path.string());
    run2.write(report(2, 3.14159274f));
    EXPECT_EQ(read("PhotoData.txt"), "  1  113.500000  22.250000   0 0.0 0.0  0.0   0.0\n"
                                     "  2  113.500000  22.250000   0 0.0 0.0 180.0   0.0\n");
}

TEST_F(PhotoFiles, FailureIsToldOnceThenAgainOnlyAfterARecovery)
{
    CPhotoDataFile file((dir / "sub" / "PhotoData.txt").string()); // directory missing: open fails
    const auto first = file.write(report(1));
    EXPECT_FALSE(first.written);
    EXPECT_NE(first.message.find("PhotoData.txt"), std::string::npos);
    const auto second = file.write(report(2));
    EXPECT_FALSE(second.written);
    EXPECT_TRUE(second.message.empty()) << "told once";
    fs::create_directory(dir / "sub");
    EXPECT_TRUE(file.write(report(3)).written) << "retries at the next report";
    EXPECT_EQ(read("sub/PhotoData.txt").substr(0, 3), "  3");
    if (fs::is_character_file("/dev/full")) { // a write error, not only an open error, is reported
        CPhotoDataFile full("/dev/full");
        EXPECT_FALSE(full.write(report(1)).message.empty()); // a message comes only with a failure
    }
}

TEST_F(PhotoFiles, ParameterSnapshotIsEightLinesOfTheGivenLengthsAndReplacesTheFile)
{
    SParameterSnapshot s;
    for (int i = 0; i < 78; ++i)
        s.values[i] = std::uint8_t(i + 1);
    s.values[77] = 255; // unsigned
    CParameterSetFile file((dir / "ParameterSet.txt").string());
    EXPECT_TRUE(file.write(s).written);
    s.values[0] = 0;
    EXPECT_TRUE(file.write(s).written);
    EXPECT_EQ(read("ParameterSet.txt"), "0 2 3 4 5 6\n"
                                        "7 8 9 10 11 12 13 14 15\n"
                                        "16 17 18 19 20 21 22 23 24 25\n"
                                        "26 27 28 29 30 31 32 33 34 35\n"
                                        "36 37 38 39 40 41 42 43 44 45\n"
                                        "46 47 48 49 50 51 52 53 54 55\n"
                                        "56 57 58 59 60 61 62 63 64 65 66\n"
                                        "67 68 69 70 71 72 73 74 75 76 77 255\n"); // replaced, not appended
    EXPECT_FALSE(fs::exists(dir / "ParameterSet.txt.tmp"));
}
