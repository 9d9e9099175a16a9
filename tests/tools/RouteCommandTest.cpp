// `orvex route info|convert|survey`, run as the operator runs them.
#include "support/OrvexRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    static size_t lines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

    // A due-east long side (0.01 deg) and a due-north short side 0.0022 deg long.
    const std::string square = "116.0 39.0 500 100 0 100 0\r\n116.01 39.0 500 100 0 100 0\r\n"
                               "116.01 39.0022 500 100 0 100 0\r\n116.0 39.0022 500 100 0 100 0\r\n";
};

} // namespace

TEST_F(RouteCommand, InfoListsEveryFileFieldAndTheLength)
{
    const std::string path = file("r.skw", "0 0 500 100 1 60 7\n1 0 300 2 0 0 8\n");
    const SOrvexRun r = run("info " + path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"formatTag\":\"skw\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"count\":2"), std::string::npos);
    EXPECT_NE(r.out.find("{\"number\":1,\"longitude\":0,\"latitude\":0,\"altitude\":500,\"photoMode\":100,"
                         "\"circleFlag\":1,\"circleTime\":60,\"pointTag\":7}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"pointTag\":8}"), std::string::npos);
    // One degree of longitude on the equator.
    const size_t at = r.out.find("\"lengthKm\":");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::stod(r.out.substr(at + 11)), 111.319, 0.001);
}

TEST_F(RouteCommand, ConvertReadsByExtensionAndWritesSevenNumbers)
{
    const std::string in = file("old.RW", "116.5 39.5 300 2 1 70000 99 1 2 3\n");
    const std::string out = (dir / "new.skw").string();
    const SOrvexRun r = run("convert " + in + " " + shellQuote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    // Six-number records: "99 1 2 3" is an incomplete second record.
    EXPECT_EQ(readWholeFile(out), "116.500000 39.500000 300 2 1 4464 0\r\n");
    EXPECT_EQ(run("convert " + in + " " + shellQuote((dir / "no/dir/x.skw").string())).status, 1);
}

TEST_F(RouteCommand, SurveyWritesTheSplicedRoute)
{
    const std::string in = file("sq.skw", square);
    const std::string out = (dir / "survey.skw").string();
    const SOrvexRun r =
        run("survey " + in + " --p1 1 --p2 2 --p3 3 --p4 4 --extend 50 --spacing 100 --altitude 120 -o " + shellQuote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = readWholeFile(out);
    EXPECT_EQ(lines(text), 18u); // 1 + 8 x 2 pairs + 1; coordinates are single precision
    EXPECT_EQ(text.rfind("115.995003 38.994999 120 0 1 0 0\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("116.000000 39.002201 120 0 0 100 0\r\n"), std::string::npos) << text;
    EXPECT_NE(r.out.find("\"pairs\":2"), std::string::npos);

    // Without -o the route goes to standard output.
    const SOrvexRun toStdout = run("survey " + in + " --p1 1 --p2 2 --p3 3 --p4 4");
    ASSERT_EQ(toStdout.status, 0);
    EXPECT_EQ(lines(toStdout.out), 18u);
    EXPECT_EQ(readWholeFile(dir / "sq.skw"), square); // the input stays as it was
}

// The order of the survey checks is the generator's (tested in the core); here the texts of failed
// surveys and loads reach standard error with status 1, and malformed options give status 2.
TEST_F(RouteCommand, ErrorsGoToStandardErrorWithStatusOneOrTwo)
{
    const std::string q = file("sq.skw", square);
    SOrvexRun r = run("survey " + q + " --p1 9 --p2 2 --p3 3 --p4 4 --extend 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "航线延长距离输入错误,范围[1-10000]。\n");
    r = run("survey " + q + " --p1 1 --p2 2 --p4 4");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "请选择短边点1。\n");
    r = run("survey " + q + " --p1 1 --p2 5 --p3 3 --p4 4");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("1..4"), std::string::npos);
    r = run("info " + shellQuote((dir / "none.skw").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("加载数据失败"), std::string::npos);
    for (const char* args : {"survey x --p1 one", "survey x --p1", "survey x --bogus 3", "info", "frobnicate x", "info x --home"})
        EXPECT_EQ(run(args).status, 2) << args;
}

TEST_F(RouteCommand, HomeSettingsGiveTheDefaultsOfReadWaypoints)
{
    const fs::path home = dir / "home";
    fs::create_directories(home);
    std::ofstream(home / "Korva.ini") << "[WayPoint]\nAltitude=777\nRepeatTime=9\n";
    const std::string in = file("sq.skw", square);
    // The survey altitude defaults to the editor's field, which starts at WayPoint/Altitude.
    const SOrvexRun r = run("survey " + in + " --p1 1 --p2 2 --p3 3 --p4 4 --home " + shellQuote(home.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" 777 0 1 0 0\r\n"), std::string::npos) << r.out;
}

// Camera mode plans the spacing and hands the generator exactly what a typed spacing would give.
TEST_F(RouteCommand, SurveyFromTheCameraIsTheSurveyOfItsSpacing)
{
    const std::string route = file("area.skw", square);
    const std::string corners = route + " --p1 1 --p2 2 --p3 3 --p4 4 --extend 50 ";
    // 13.2 x 8.8 mm, 8.8 mm, 5472 x 3648 px: 2.74 cm/px at 100 m, 150 m across, spacing 45 m at 70 %.
    const SOrvexRun typed = run("survey " + corners + "--spacing 45 --altitude 100");
    const SOrvexRun camera =
        run("survey " + corners + "--sensor 13.2,8.8 --focal 8.8 --image 5472,3648 --overlap 80,70 --gsd 2.75");
    ASSERT_EQ(camera.status, 0) << camera.err;
    EXPECT_EQ(camera.out, typed.out);
    EXPECT_EQ(run("survey " + corners + "--camera '1英寸 20MP 8.8mm' --overlap 80,70 --altitude 100").out, typed.out);

    const SOrvexRun summary = run("survey " + corners + "--camera '1英寸 20MP 8.8mm' --altitude 100 -o " +
                                  shellQuote((dir / "out.skw").string()));
    ASSERT_EQ(summary.status, 0) << summary.err;
    auto number = [&](const std::string& name) {
        const size_t at = summary.out.find("\"" + name + "\":");
        return at == std::string::npos ? -1.0 : std::stod(summary.out.substr(at + name.size() + 3));
    };
    EXPECT_EQ(number("altitudeMetres"), 100.0) << summary.out;
    EXPECT_NEAR(number("gsdCm"), 2.741, 0.001);
    EXPECT_EQ(number("spacingMetres"), 45.0);
    EXPECT_NEAR(number("photoDistanceMetres"), 20.0, 1e-9);
    // Eight lanes of 865 m (0.01 degrees of longitude at 39 N): 1 + 43 photos each, 45 m wide.
    EXPECT_EQ(number("photoCount"), 8 * 44.0);
    EXPECT_NEAR(number("areaSquareMetres"), 8 * 865.3 * 45, 500.0);
    EXPECT_GT(number("flightTimeSeconds"), number("lengthMetres") / 10.0);

    const SOrvexRun gaps = run("survey " + corners + "--camera '1英寸 20MP 8.8mm' --spacing 151 --altitude 100");
    EXPECT_EQ(gaps.status, 1);
    EXPECT_NE(gaps.err.find("照片宽度 150 米"), std::string::npos) << gaps.err;
    const SOrvexRun dense = run("survey " + corners + "--spacing 1 --altitude 100");
    EXPECT_EQ(dense.status, 1);
    EXPECT_NE(dense.err.find("条航线"), std::string::npos) << dense.err;
    EXPECT_EQ(run("survey " + corners + "--camera nobody --altitude 100").status, 1);

    // The same photo figures from the written route, given the camera.
    const SOrvexRun info = run("info " + shellQuote((dir / "out.skw").string()) + " --camera '1英寸 20MP 8.8mm'");
    ASSERT_EQ(info.status, 0) << info.err;
    const size_t at = info.out.find("\"photoCount\":");
    ASSERT_NE(at, std::string::npos) << info.out;
    EXPECT_EQ(std::stoi(info.out.substr(at + 13)), 8 * 44);
    EXPECT_NE(info.out.find("\"gsdCm\":2.741"), std::string::npos) << info.out;
}
