// The rules behind the options sheet's pages: the order and selection of the port list, typed
// device paths and standard baud rates, and the waypoint defaults with their ranges and writes.
#include <gtest/gtest.h>

#include "options/PortChoice.h"
#include "options/WayPointOptionValues.h"
#include "support/TempDir.h"

using namespace orvex;

TEST(PortChoice, ListedInReverseWithTheStoredOneSelectedElseTheBottomEntryOrAsTyped)
{
    const std::vector<SSerialPortEntry> ports{{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}, {"COM5", "/dev/ttyS4"}};
    CPortChoice c(ports, "COM3");
    ASSERT_EQ(c.entries().size(), 3u);
    EXPECT_EQ(c.entries()[0].deviceName, "/dev/ttyS4");
    EXPECT_EQ(c.entries()[2].portName, "COM1");
    EXPECT_EQ(c.selectedPort(), "COM3");
    c.select(0);
    c.select(7); // out of the list: ignored
    EXPECT_EQ(c.selectedPort(), "COM5");
    for (const char* stored : {"COM9", "COM1"})
        EXPECT_EQ(CPortChoice(ports, stored).selectedIndex(), 2) << stored;
    CPortChoice none({}, "COM1");
    EXPECT_EQ(none.selectedIndex(), -1);
    EXPECT_EQ(none.selectedPort(), "");

    // A typed device path is stored as typed and comes back.
    c.type(" /dev/serial/by-id/usb-radio ");
    EXPECT_EQ(c.selectedPort(), "/dev/serial/by-id/usb-radio");
    c.type("COM5"); // a listed name selects its entry
    EXPECT_EQ(c.selectedIndex(), 0);
    EXPECT_EQ(c.typedPort(), "");
    EXPECT_EQ(CPortChoice(ports, "/dev/pts/3").selectedPort(), "/dev/pts/3");
}

TEST(PortChoice, OnlyStandardBaudRates)
{
    for (unsigned rate : {110u, 9600u, 115200u, 921600u})
        EXPECT_TRUE(isStandardBaudRate(rate)) << rate;
    for (unsigned rate : {0u, 100000u, 115201u, 9999999u})
        EXPECT_FALSE(isStandardBaudRate(rate)) << rate;
}

TEST(WayPointOptionValues, DefaultsRangesAtTheirEdgesInFieldOrderAndTheStoredTimeNotReadButSavingWritesAllTenKeys)
{
    CTempDir dir{"orvex-options"};
    const std::string ini = dir.file("Korva.ini");
    const CWayPointOptionValues defaults = CWayPointOptionValues::load(CSettings(ini));
    const std::pair<EWayPointField, long long> values[] = {{EWayPointField::Altitude, 500}, {EWayPointField::AltitudeGps, 100},
                                                           {EWayPointField::Speed, 100},    {EWayPointField::RepeatTime, 100}};
    for (auto [field, value] : values)
        EXPECT_EQ(defaults.value(field), value);
    const struct {
        EWayPointField field;
        long long lowOk, highOk;
    } cases[] = {{EWayPointField::Altitude, 5, 10000},     {EWayPointField::Speed, 5, 1000},
                 {EWayPointField::ZhuanWanLiang, 0, 65535}, {EWayPointField::ZhiShiHangXian, 0, 255},
                 {EWayPointField::ZhiShiShiJian, 0, 65535}, {EWayPointField::ZhiXingDuoJi, 0, 65535},
                 {EWayPointField::DelayTime, 0, 255}};
    for (const auto& c : cases) {
        CWayPointOptionValues w = defaults;
        for (long long ok : {c.lowOk, c.highOk}) {
            w.setValue(c.field, ok);
            EXPECT_FALSE(w.firstInvalid().has_value()) << ok;
        }
        for (long long bad : {c.lowOk - 1, c.highOk + 1}) {
            w.setValue(c.field, bad);
            EXPECT_EQ(w.firstInvalid(), c.field) << bad;
        }
    }
    // No range: any integer. The first bad field in order is reported.
    CWayPointOptionValues w = defaults;
    w.setValue(EWayPointField::AltitudeGps, -100000);
    w.setValue(EWayPointField::RepeatTime, 99999999);
    EXPECT_FALSE(w.firstInvalid().has_value());
    w.setValue(EWayPointField::DelayTime, 256);
    w.setValue(EWayPointField::Altitude, 4);
    EXPECT_EQ(w.firstInvalid(), EWayPointField::Altitude);
    EXPECT_EQ(CWayPointOptionValues::rangeMessage(EWayPointField::Altitude), "请输入一个介于 5 和 10000 之间的整数。");

    CTempDir::write(ini, "[WayPoint]\r\nZhiShiShiJian=300\r\nFenPin=8\r\nAltitude=800\r\n");
    CSettings settings(ini);
    CWayPointOptionValues v = CWayPointOptionValues::load(settings);
    EXPECT_EQ(v.value(EWayPointField::ZhiShiShiJian), 0);
    EXPECT_EQ(v.value(EWayPointField::Altitude), 800);
    ASSERT_TRUE(v.save(settings));
    EXPECT_EQ(settings.getInt(keys::kZhiShiShiJian), 0);
    EXPECT_EQ(settings.getInt(keys::kFenPin), 8);
    const std::string text = CTempDir::read(ini);
    for (const char* key : {"Altitude=", "AltitudeGPS=", "Speed=", "ZhuanWanLiang=", "ZhiShiHangXian=", "ZhiShiShiJian=",
                            "ZhiXingDuoJi=", "DelayTime=", "RepeatTime=", "FenPin="})
        EXPECT_NE(text.find(key), std::string::npos) << key;

    for (const char* outside : {"0", "9"}) { // outside the list of 1 to 8: shows as 1
        CTempDir::write(ini, std::string("[WayPoint]\r\nFenPin=") + outside + "\r\n");
        EXPECT_EQ(CWayPointOptionValues::load(CSettings(ini)).fenPinSelection(), 0) << outside;
    }
}
