#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "app/AppPaths.h"

using orvex::CAppPaths;

TEST(AppPaths, HomeDefaultsToTheExecutableDirectory)
{
    CAppPaths paths("/opt/orvex/bin", "");
    EXPECT_EQ(paths.executableDir(), "/opt/orvex/bin/");
    EXPECT_EQ(paths.homeDir(), "/opt/orvex/bin/");
    EXPECT_EQ(paths.settingsPath(), "/opt/orvex/bin/Korva.ini");
    EXPECT_EQ(paths.flightLogDir(), "/opt/orvex/bin/Hj/");
    EXPECT_EQ(paths.photoDataPath(), "/opt/orvex/bin/PhotoData.txt");
    EXPECT_EQ(paths.parameterSetPath(), "/opt/orvex/bin/ParameterSet.txt");
}

TEST(AppPaths, HomeMovesOnlyTheWrittenFiles)
{
    CTempDir dir;
    CAppPaths paths("/opt/orvex/bin/", dir.path() + "deep/home");
    EXPECT_EQ(paths.executableDir(), "/opt/orvex/bin/");
    EXPECT_EQ(paths.settingsPath(), dir.path() + "deep/home/Korva.ini");
    EXPECT_TRUE(paths.ensureHomeDir());
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "deep/home"));
}

TEST(AppPaths, RunningExecutableDirectoryHoldsThisTest)
{
    const std::string dir = CAppPaths::runningExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir, std::string(ORVEX_BIN_DIR) + "/");
}

TEST(AppPaths, HomeOptionIsTakenOutOfTheArguments)
{
    std::vector<std::string> args{"info", "--home", "/tmp/h", "file.skw", "--home=/tmp/h2"};
    std::string home, error;
    ASSERT_TRUE(CAppPaths::takeHomeOption(args, home, error));
    EXPECT_EQ(home, "/tmp/h2");
    EXPECT_EQ(args, (std::vector<std::string>{"info", "file.skw"}));

    std::vector<std::string> bad{"x", "--home"};
    EXPECT_FALSE(CAppPaths::takeHomeOption(bad, home, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(bad.size(), 2u);
}
