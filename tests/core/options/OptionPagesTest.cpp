// The rules behind the options sheet's pages: the order and selection of the port list, and the
// waypoint defaults with their ranges and writes.
#include <gmock/gmock.h>
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "options/PortChoice.h"
#include "options/WayPointOptionValues.h"

using namespace orvex;

namespace {

std::vector<std::string> names(const CPortChoice& c)
{
    std::vector<std::string> out;
    for (const auto& e : c.entries())
        out.push_back(e.portName);
    return out;
}

const std::vector<SSerialPortEntry> kPorts{{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}, {"COM5", "/dev/ttyS4"}};

class TempIni {
public:
    std::string path() const { return m_dir.file("Korva.ini"); }
    void write(const std::string& text) const { CTempDir::write(path(), text); }
    std::string read() const { return CTempDir::read(path()); }

private:
    CTempDir m_dir{"orvex-options-test"};
};

} // namespace

TEST(PortChoice, PortsAreListedInReverseWithTheStoredOneSelected)
{
    CPortChoice c(kPorts, "COM3");
    EXPECT_THAT(names(c), ::testing::ElementsAre("COM5", "COM3", "COM1"));
    EXPECT_EQ(c.entries()[0].deviceName, "/dev/ttyS4");
    EXPECT_EQ(c.selectedIndex(), 1);
    EXPECT_EQ(c.selectedPort(), "COM3");
    c.select(0);
    EXPECT_EQ(c.selectedPort(), "COM5");
    c.select(7); // out of the list: ignored
    EXPECT_EQ(c.selectedPort(), "COM5");
}

TEST(PortChoice, MissingStoredPortSelectsTheBottomEntryAndNoPortsSelectNothing)
{
    CPortChoice c(kPorts, "COM9");
    EXPECT_EQ(c.selectedIndex(), 2);
    EXPECT_EQ(c.selectedPort(), "COM1");
    CPortChoice first(kPorts, "COM1");
    EXPECT_EQ(first.selectedIndex(), 2);
    CPortChoice none({}, "COM1");
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.selectedIndex(), -1);
    EXPECT_EQ(none.selectedPort(), "");
}

TEST(PortChoice, ATypedDevicePathIsStoredAsTypedAndComesBack)
{
    CPortChoice c(kPorts, "COM3");
    c.type(" /dev/serial/by-id/usb-radio ");
    EXPECT_EQ(c.selectedPort(), "/dev/serial/by-id/usb-radio");
    c.type("COM5"); // a listed name selects its entry
    EXPECT_EQ(c.selectedIndex(), 0);
    EXPECT_EQ(c.typedPort(), "");
    CPortChoice again(kPorts, "/dev/pts/3");
    EXPECT_EQ(again.selectedPort(), "/dev/pts/3");
    CPortChoice none({}, "");
    none.type("/dev/pts/4");
    EXPECT_EQ(none.selectedPort(), "/dev/pts/4");
}

TEST(PortChoice, OnlyStandardBaudRates)
{
    for (unsigned rate : {110u, 9600u, 115200u, 921600u})
        EXPECT_TRUE(isStandardBaudRate(rate)) << rate;
    for (unsigned rate : {0u, 100000u, 115201u, 9999999u})
        EXPECT_FALSE(isStandardBaudRate(rate)) << rate;
}

TEST(WayPointOptionValues, LoadsDefaultsWithTheTimeFieldAtZero)
{
    TempIni ini;
    const CSettings settings(ini.path());
    const CWayPointOptionValues v = CWayPointOptionValues::load(settings);
    EXPECT_EQ(v.value(EWayPointField::Altitude), 500);
    EXPECT_EQ(v.value(EWayPointField::AltitudeGps), 100);
    EXPECT_EQ(v.value(EWayPointField::Speed), 100);
    EXPECT_EQ(v.value(EWayPointField::ZhiShiShiJian), 0);
    EXPECT_EQ(v.value(EWayPointField::RepeatTime), 100);
    EXPECT_EQ(v.fenPinSelection(), 0);
    EXPECT_FALSE(v.firstInvalid().has_value());
}

TEST(WayPointOptionValues, StoredTimeIsNotReadButSavingWritesAllTenKeys)
{
    TempIni ini;
    ini.write("[WayPoint]\r\nZhiShiShiJian=300\r\nFenPin=4\r\nAltitude=800\r\n");
    CSettings settings(ini.path());
    CWayPointOptionValues v = CWayPointOptionValues::load(settings);
    EXPECT_EQ(v.value(EWayPointField::ZhiShiShiJian), 0);
    EXPECT_EQ(v.value(EWayPointField::Altitude), 800);
    EXPECT_EQ(v.fenPinSelection(), 3);
    ASSERT_TRUE(v.save(settings));
    EXPECT_EQ(settings.getInt(keys::kZhiShiShiJian), 0);
    EXPECT_EQ(settings.getInt(keys::kFenPin), 4);
    const std::string text = ini.read();
    for (const char* key : {"Altitude=", "AltitudeGPS=", "Speed=", "ZhuanWanLiang=", "ZhiShiHangXian=", "ZhiShiShiJian=",
                            "ZhiXingDuoJi=", "DelayTime=", "RepeatTime=", "FenPin="})
        EXPECT_NE(text.find(key), std::string::npos) << key;
}

TEST(WayPointOptionValues, RangesAreCheckedInFieldOrderAtTheirEdges)
{
    TempIni ini;
    CWayPointOptionValues v = CWayPointOptionValues::load(CSettings(ini.path()));
    struct SCase {
        EWayPointField field;
        long long lowOk, highOk;
    };
    for (const SCase& c : {SCase{EWayPointField::Altitude, 5, 10000}, SCase{EWayPointField::Speed, 5, 1000},
                           SCase{EWayPointField::ZhuanWanLiang, 0, 65535}, SCase{EWayPointField::ZhiShiHangXian, 0, 255},
                           SCase{EWayPointField::ZhiShiShiJian, 0, 65535}, SCase{EWayPointField::ZhiXingDuoJi, 0, 65535},
                           SCase{EWayPointField::DelayTime, 0, 255}}) {
        CWayPointOptionValues w = v;
        w.setValue(c.field, c.lowOk);
        EXPECT_FALSE(w.firstInvalid().has_value());
        w.setValue(c.field, c.highOk);
        EXPECT_FALSE(w.firstInvalid().has_value());
        w.setValue(c.field, c.lowOk - 1);
        EXPECT_EQ(w.firstInvalid(), c.field);
        w.setValue(c.field, c.highOk + 1);
        EXPECT_EQ(w.firstInvalid(), c.field);
    }
    // No range: any integer.
    v.setValue(EWayPointField::AltitudeGps, -100000);
    v.setValue(EWayPointField::RepeatTime, 99999999);
    EXPECT_FALSE(v.firstInvalid().has_value());
    // The first bad field in order is reported.
    v.setValue(EWayPointField::DelayTime, 256);
    v.setValue(EWayPointField::Altitude, 4);
    EXPECT_EQ(v.firstInvalid(), EWayPointField::Altitude);
    EXPECT_EQ(CWayPointOptionValues::rangeMessage(EWayPointField::Altitude), "请输入一个介于 5 和 10000 之间的整数。");
}

TEST(WayPointOptionValues, StoredFenPinOutsideTheListShowsAsOne)
{
    TempIni ini;
    ini.write("[WayPoint]\r\nFenPin=12\r\n");
    const CWayPointOptionValues v = CWayPointOptionValues::load(CSettings(ini.path()));
    EXPECT_EQ(v.fenPinSelection(), 0);
    EXPECT_FALSE(v.firstInvalid().has_value());
}
