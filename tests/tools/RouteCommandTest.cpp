// `orvex route info|convert|survey`, run as the operator runs them.
#include "support/OrvexRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class RouteCommand : public ::testing::Test {
protected:
    CTempDir tmp{"orvex-routecmd"};
    fs::path dir = tmp.dir();

    SOrvexRun run(const std::string& args) { return runOrvex("route " + args, dir); }
    std::string file(const std::string& name, const std::string& text)
    {
        CTempDir::write((dir / name).string(), text);
        return shellQuote((dir / name).string());
    }

    // A due-east long side (0.01 deg) and a due-north short side 0.0022 deg long.
    const std::string square = "116.0 39.0 500 100 0 100 0\r\n116.01 39.0 500 100 0 100 0\r\n"
                               "116.01 39.0022 500 100 0 100 0\r\n116.0 39.0022 500 100 0 100 0\r\n";
};

} // namespace

TEST_F(RouteCommand, InfoListsEveryFileFieldAndTheLength)
{
    const SOrvexRun r = run("info " + file("r.skw", "0 0 500 100 1 60 7\n1 0 300 2 0 0 8\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"formatTag\":\"skw\",\"count\":2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"number\":1,\"longitude\":0,\"latitude\":0,\"altitude\":500,\"photoMode\":100,"
                         "\"circleFlag\":1,\"circleTime\":60,\"pointTag\":7}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"lengthKm\":111.3"), std::string::npos) << r.out; // one degree on the equator
}

TEST_F(RouteCommand, ConvertReadsByExtensionAndWritesSevenNumbers)
{
    const std::string in = file("old.RW", "116.5 39.5 300 2 1 60 99 1 2 3\n");
    const std::string out = (dir / "new.skw").string();
    ASSERT_EQ(run("convert " + in + " " + shellQuote(out)).status, 0);
    EXPECT_EQ(readWholeFile(out), "116.500000 39.500000 300 2 1 60 0\r\n"); // six numbers a record
    EXPECT_EQ(run("convert " + in + " " + shellQuote((dir / "no/dir/x.skw").string())).status, 1);
}

TEST_F(RouteCommand, SurveyWritesTheSplicedRouteToTheFileOrStandardOutput)
{
    const std::string in = file("sq.skw", square);
    const std::string out = (dir / "survey.skw").string();
    const std::string corners = " --p1 1 --p2 2 --p3 3 --p4 4 --extend 50 --spacing 100 --altitude 120";
    const SOrvexRun r = run("survey " + in + corners + " -o " + shellQuote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = readWholeFile(out);
    EXPECT_EQ(text.rfind("115.995003 38.994999 120 0 1 0 0\r\n", 0), 0u) << text;
    EXPECT_NE(r.out.find("{\"pairs\":2,\"generated\":18,\"insertedAt\":1,\"count\":18"), std::string::npos) << r.out;
    EXPECT_EQ(run("survey " + in + corners).out, text);
    EXPECT_EQ(readWholeFile(dir / "sq.skw"), square); // the input stays as it was

    // Without --altitude the survey takes the editor's field, which starts at WayPoint/Altitude.
    fs::create_directories(dir / "home");
    std::ofstream(dir / "home" / "Korva.ini") << "[WayPoint]\nAltitude=777\n";
    const SOrvexRun home = run("survey " + in + " --p1 1 --p2 2 --p3 3 --p4 4 --home " + shellQuote(dir / "home"));
    EXPECT_NE(home.out.find(" 777 0 1 0 0\r\n"), std::string::npos) << home.err;
}

// The survey's own checks are the generator's (tested in the core); here their texts reach standard
// error with status 1, and malformed options give status 2.
TEST_F(RouteCommand, ErrorsGoToStandardErrorWithStatusOneOrTwo)
{
    const std::string q = file("sq.skw", square);
    SOrvexRun r = run("survey " + q + " --p1 1 --p2 2 --p4 4");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "请选择短边点1。\n");
    r = run("survey " + q + " --p1 1 --p2 5 --p3 3 --p4 4");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("1..4"), std::string::npos);
    r = run("info " + shellQuote((dir / "none.skw").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("加载数据失败"), std::string::npos);
    for (const char* args : {"survey x --p1 one", "survey x --bogus 3", "info", "frobnicate x", "info x --home"})
        EXPECT_EQ(run(args).status, 2) << args;
}

// Camera mode plans the spacing (the figures are the core's) and hands the generator exactly what a
// typed spacing would give; the altitude comes from the resolution asked for.
TEST_F(RouteCommand, SurveyFromTheCameraIsTheSurveyOfItsSpacing)
{
    const std::string corners = file("area.skw", square) + " --p1 1 --p2 2 --p3 3 --p4 4 --extend 50 ";
    const SOrvexRun typed = run("survey " + corners + "--spacing 45 --altitude 100");
    const SOrvexRun camera =
        run("survey " + corners + "--sensor 13.2,8.8 --focal 8.8 --image 5472,3648 --overlap 80,70 --gsd 2.75");
    ASSERT_EQ(camera.status, 0) << camera.err;
    EXPECT_EQ(camera.out, typed.out);

    const SOrvexRun summary = run("survey " + corners + "--camera '1英寸 20MP 8.8mm' --altitude 100 -o " +
                                  shellQuote((dir / "out.skw").string()));
    ASSERT_EQ(summary.status, 0) << summary.err;
    for (const char* figure : {"\"altitudeMetres\":100,", "\"spacingMetres\":45,", "\"photoCount\":352,"}) // 8 lanes x 44
        EXPECT_NE(summary.out.find(figure), std::string::npos) << figure << " in " << summary.out;
    const SOrvexRun dense = run("survey " + corners + "--spacing 1 --altitude 100");
    EXPECT_EQ(dense.status, 1);
    EXPECT_NE(dense.err.find("条航线"), std::string::npos) << dense.err;
    EXPECT_EQ(run("survey " + corners + "--camera nobody --altitude 100").status, 1);
    const SOrvexRun info = run("info " + shellQuote((dir / "out.skw").string()) + " --camera '1英寸 20MP 8.8mm'");
    EXPECT_NE(info.out.find("\"photoCount\":352"), std::string::npos) << info.out;
}
