// The plottable fields read from records written byte by byte from the sentence layout.
#include "flightlog/PlotFields.h"
#include "protocol/TelemetryRecord.h"

#include "support/StpRecord.h"
#include <gtest/gtest.h>

using namespace orvex;

TEST(PlotFields, EachFieldReadsItsBytesInItsUnit)
{
    const struct {
        const char* name;
        void (*write)(StpBytes&);
        double value;
        const char* text;
    } cases[] = {
        {"altitudeMetres", [](StpBytes& r) { putLeU16(&r[48], -25); }, -2.5, "-2.5"},
        {"groundSpeed", [](StpBytes& r) { putLeU16(&r[50], 300), putLeU16(&r[94], -400); }, 5.0, "5.00"},
        {"climbRate", [](StpBytes& r) { r[79] = 0xFF, r[89] = 0x38; }, 2.0, "2.00"}, // down -200 cm/s
        {"rollDegrees", [](StpBytes& r) { putLeU32(&r[66], std::uint32_t(-12)); }, -12, "-12"},
        {"pitchDegrees", [](StpBytes& r) { putLeU32(&r[62], 7); }, 7, "7"},
        {"headingDegrees", [](StpBytes& r) { putLeF32(&r[20], 1.5707963f); }, 90.0, "90.0"},
        {"satellites", [](StpBytes& r) { r[24] = 11; }, 11, "11"},
        {"voltage", [](StpBytes& r) { putLeU16(&r[70], 2458); }, 2458 * 5.0 / 1024, "12.00"},
        {"currentAmps", [](StpBytes& r) { r[92] = 23; }, 23, "23"},
        {"consumedMah", [](StpBytes& r) { putLeU16(&r[76], 1234); }, 1234, "1234"},
        {"enginePulses", [](StpBytes& r) { r[44] = 87; }, 87, "87"},
        {"takeoffDistanceMetres", [](StpBytes& r) { r[46] = 0x01, r[52] = 0x2C; }, 300, "300"},
        {"targetWaypointIndex", [](StpBytes& r) { r[74] = 4; }, 4, "4"},
    };
    ASSERT_EQ(plotFields().size(), std::size(cases)) << "every field is tested";
    for (const auto& c : cases) {
        StpBytes bytes = stpRecord(22.5f, 113.25f);
        c.write(bytes);
        const SPlotField* f = findPlotField(c.name);
        ASSERT_NE(f, nullptr) << c.name;
        const double v = f->read(CTelemetryRecord(bytes));
        EXPECT_NEAR(v, c.value, 1e-4) << c.name;
        EXPECT_EQ(plotValueText(*f, v), c.text) << c.name;
    }
    EXPECT_EQ(findPlotField("altitude"), nullptr) << "raw record names are not plot fields";
}
