#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "base/AppPaths.h"
#include "base/DialogFolders.h"
#include "base/Settings.h"

using orvex::CAppPaths;

TEST(AppPaths, WrittenFilesStayBesideAWritableProgramElseGoToTheUserDataDirectory)
{
    namespace fs = std::filesystem;
    CTempDir dir;
    // A build folder (pages beside the program) and an installed tree (pages in share/orvex).
    fs::create_directories(dir.path() + "build/bin/html");
    fs::create_directories(dir.path() + "usr/bin");
    fs::create_directories(dir.path() + "usr/share/orvex/html");
    const std::string build = dir.path() + "build/bin/", installed = dir.path() + "usr/bin/";
    const std::string xdg = dir.path() + "xdg", home = dir.path() + "home";
    struct SCase { const char* name; std::string exe; fs::perms exeMode; const char* xdgVar; std::string files, written; };
    const SCase cases[] = {
        {"build folder", build, fs::perms::owner_all, xdg.c_str(), build, build},
        {"read-only build folder", build, fs::perms::owner_read | fs::perms::owner_exec, xdg.c_str(), build, xdg + "/orvex/"},
        {"installed, writable", installed, fs::perms::owner_all, xdg.c_str(), dir.path() + "usr/share/orvex/", xdg + "/orvex/"},
        {"XDG_DATA_HOME unset", installed, fs::perms::owner_all, nullptr, dir.path() + "usr/share/orvex/", home + "/.local/share/orvex/"},
        {"XDG_DATA_HOME relative", build, fs::perms::none, "rel", build, home + "/.local/share/orvex/"},
    };
    for (const SCase& c : cases) {
        fs::permissions(c.exe, c.exeMode);
        EXPECT_EQ(CAppPaths::programFilesDirFor(c.exe), c.files) << c.name;
        EXPECT_EQ(CAppPaths::defaultHomeDir(c.exe, c.xdgVar, home.c_str()), c.written) << c.name;
        fs::permissions(c.exe, fs::perms::owner_all);
    }
}

TEST(AppPaths, HomeHoldsTheWrittenFilesAndEachFileDialogOpensInItsOwnFolderThenWhereItWasLastUsed)
{
    using namespace orvex;
    CTempDir top;
    const std::string home = top.path() + "deep/home/";
    const CAppPaths paths("/opt/orvex/bin/", top.path() + "deep/home");
    EXPECT_EQ(paths.settingsPath(), home + "Korva.ini");
    EXPECT_TRUE(paths.ensureHomeDir());
    CSettings settings(paths.settingsPath());
    std::filesystem::create_directory(home + "elsewhere");
    struct SCase { EFileDialog dialog; const char* own; const char* key; };
    for (const SCase c : {SCase{EFileDialog::Route, "routes/", "RouteFolder"}, SCase{EFileDialog::Replay, "Hj/", "ReplayFolder"}}) {
        EXPECT_EQ(fileDialogFolder(paths, settings, c.dialog), home + c.own);
        EXPECT_TRUE(std::filesystem::is_directory(home + c.own)) << "created when needed";
        rememberFileDialogChoice(settings, c.dialog, home + "elsewhere/a.file");
        EXPECT_EQ(fileDialogFolder(paths, settings, c.dialog), home + "elsewhere/");
        EXPECT_NE(CTempDir::read(paths.settingsPath()).find(std::string(c.key) + "="), std::string::npos);
    }
    std::filesystem::remove(home + "elsewhere");
    EXPECT_EQ(fileDialogFolder(paths, settings, EFileDialog::Route), home + "routes/") << "a folder gone";
}

TEST(AppPaths, RunningExecutableDirectoryHoldsThisTest)
{
    EXPECT_EQ(CAppPaths::runningExecutableDir(), std::string(ORVEX_BIN_DIR) + "/");
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
