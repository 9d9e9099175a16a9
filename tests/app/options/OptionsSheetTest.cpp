// The options sheet against a real Korva.ini: port page order, selection and storing, the port
// configuration record, and the waypoint defaults page with its ranges and writes.
#include <gmock/gmock.h>
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "link/ComConfig.h"
#include "options/Options.h"
#include "options/PortConfigDlg.h"

using namespace orvex;

namespace {

class TempHome : public CTempDir {
public:
    TempHome() : CTempDir("orvex-optsheet-test") {}
    std::string ini() const { return file("Korva.ini"); }
    void writeIni(const std::string& text) const { write(ini(), text); }
};

std::vector<SSerialPortEntry> threePorts()
{
    return {{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}, {"COM5", "/dev/ttyS4"}};
}

class BoxRecorder {
public:
    BoxRecorder()
    {
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            texts.push_back(call.text);
            return true;
        });
    }
    ~BoxRecorder() { setMessageBoxInterceptor({}); }
    QStringList texts;
};

class OptionsSheetTest : public ::testing::Test {
protected:
    OptionsSheetTest() : station(CAppPaths(home.path(), home.path())) {}
    TempHome home;
    CGroundStation station;
};

QStringList comboItems(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

TEST_F(OptionsSheetTest, SheetHasItsCaptionAndTwoPagesInOrder)
{
    COptions sheet(station, threePorts);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("选项"));
    ASSERT_EQ(sheet.tabs()->count(), 2);
    EXPECT_EQ(sheet.tabs()->tabText(0), QStringLiteral("串口设置"));
    EXPECT_EQ(sheet.tabs()->tabText(1), QStringLiteral("高度设置"));
    EXPECT_FALSE(sheet.applyButton()->isEnabled());
}

TEST_F(OptionsSheetTest, PortsListedInReverseWithStoredSelectedAndOkStoresIt)
{
    home.writeIni("[Settings]\r\nCOMPORT=COM3\r\n");
    {
        COptions sheet(station, threePorts);
        QComboBox* box = sheet.comPage()->portBox();
        EXPECT_EQ(comboItems(box), (QStringList{"COM5", "COM3", "COM1"}));
        EXPECT_EQ(box->currentText(), QStringLiteral("COM3"));
        sheet.accept();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        EXPECT_EQ(station.settings().getText(keys::kComPort), "COM3");
    }
    {
        COptions sheet(station, threePorts);
        sheet.comPage()->portBox()->setCurrentIndex(0);
        EXPECT_TRUE(sheet.applyButton()->isEnabled());
        QTest::mouseClick(sheet.applyButton(), Qt::LeftButton);
        EXPECT_EQ(station.settings().getText(keys::kComPort), "COM5");
        EXPECT_FALSE(sheet.applyButton()->isEnabled());
    }
    {
        // A device path the system does not list is typed in, stored, and shown again.
        COptions sheet(station, threePorts);
        sheet.comPage()->portBox()->lineEdit()->selectAll();
        QTest::keyClicks(sheet.comPage()->portBox()->lineEdit(), QStringLiteral("/dev/pts/7"));
        sheet.accept();
        EXPECT_EQ(station.settings().getText(keys::kComPort), "/dev/pts/7");
        COptions again(station, threePorts);
        EXPECT_EQ(again.comPage()->portBox()->currentText(), QStringLiteral("/dev/pts/7"));
    }
}

TEST_F(OptionsSheetTest, AbsentStoredPortSelectsBottomAndNoPortsStoreNothing)
{
    // Nothing stored (COM1 is no default here) or a port not present: the bottom entry.
    for (const char* ini : {"", "[Settings]\r\nCOMPORT=COM9\r\n"}) {
        home.writeIni(ini);
        COptions sheet(station, [] { return std::vector<SSerialPortEntry>{{"COM3", "/dev/ttyS2"}, {"COM1", "/dev/ttyS0"}}; });
        EXPECT_EQ(sheet.comPage()->portBox()->currentText(), QStringLiteral("COM3")) << ini;
    }
    {
        int configured = 0;
        COptions sheet(station, [] { return std::vector<SSerialPortEntry>{}; });
        sheet.comPage()->setConfigurator([&](QWidget*, const QString&, const CComConfig& c) -> std::optional<CComConfig> {
            ++configured;
            return c;
        });
        EXPECT_EQ(sheet.comPage()->portBox()->count(), 0);
        sheet.comPage()->configure();
        EXPECT_EQ(configured, 0);
        sheet.accept();
        EXPECT_EQ(station.settings().getText(keys::kComPort), "COM9");
        EXPECT_FALSE(station.settings().getBinary(keys::kComConf).has_value());
    }
}

TEST_F(OptionsSheetTest, ConfigureStartsFromTheDefaultsOverwrittenByAShortStoredRecord)
{
    // Four stored bytes 0x10 0x00 0x02 0x00 ("AB AA CA AA"): only bytes 0-3 of the default change.
    home.writeIni("[Settings]\r\nCOMPORT=COM5\r\nCOMCONF=ABAACAAA\r\n");
    COptions sheet(station, threePorts);
    std::optional<CComConfig> seen;
    QString seenPort;
    sheet.comPage()->setConfigurator([&](QWidget*, const QString& port, const CComConfig& c) -> std::optional<CComConfig> {
        seen = c;
        seenPort = port;
        return std::nullopt; // cancel
    });
    sheet.comPage()->configure();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seenPort, QStringLiteral("COM5"));
    const CComConfig defaults;
    EXPECT_EQ(seen->bytes()[0], 0x10);
    EXPECT_EQ(seen->bytes()[1], 0x00);
    EXPECT_EQ(seen->bytes()[2], 0x02);
    EXPECT_EQ(seen->bytes()[3], 0x00);
    for (std::size_t i = 4; i < CComConfig::kSize; ++i)
        EXPECT_EQ(seen->bytes()[i], defaults.bytes()[i]) << i;
    EXPECT_EQ(seen->baudRate(), 115200u);
    // Cancel stored nothing.
    EXPECT_EQ(station.settings().getBinary(keys::kComConf)->size(), 4u);
}

TEST_F(OptionsSheetTest, ConfirmedConfigurationStoresTheWhole52ByteRecord)
{
    COptions sheet(station, threePorts);
    sheet.comPage()->setConfigurator([](QWidget*, const QString&, const CComConfig& c) -> std::optional<CComConfig> {
        CComConfig changed = c;
        changed.setBaudRate(57600);
        return changed;
    });
    sheet.comPage()->configure();
    const auto stored = station.settings().getBinary(keys::kComConf);
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), 52u);
    EXPECT_EQ(CComConfig::fromSaved(*stored).baudRate(), 57600u);
}

TEST_F(OptionsSheetTest, PortConfigDialogEditsTheLineSettingsAndKeepsTheRest)
{
    CComConfig start;
    CPortConfigDlg dlg(QStringLiteral("COM5"), start);
    EXPECT_EQ(dlg.baudBox()->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(dlg.dataBitsBox()->currentText(), QStringLiteral("8"));
    EXPECT_TRUE(dlg.dtrBox()->isChecked());
    // Unchanged: the same bytes.
    EXPECT_EQ(dlg.config().bytes(), start.bytes());

    dlg.baudBox()->setCurrentText(QStringLiteral("9600"));
    dlg.dataBitsBox()->setCurrentIndex(dlg.dataBitsBox()->findText(QStringLiteral("7")));
    dlg.parityBox()->setCurrentIndex(2); // even
    dlg.stopBitsBox()->setCurrentIndex(2); // two
    dlg.dtrBox()->setChecked(false);
    const CComConfig c = dlg.config();
    EXPECT_EQ(c.baudRate(), 9600u);
    EXPECT_EQ(c.byteSize(), 7);
    EXPECT_EQ(c.parity(), EParity::Even);
    EXPECT_EQ(c.stopBits(), EStopBits::Two);
    EXPECT_EQ(c.dtrControl(), EDtrControl::Disable);
    EXPECT_EQ(c.bytes()[0], 52); // record size kept

    BoxRecorder boxes;
    dlg.baudBox()->setCurrentText(QStringLiteral("9999999"));
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("请选择标准波特率(110 到 921600)"));
}

TEST_F(OptionsSheetTest, WayPointPageShowsStoredValuesAndWritesAllKeysWithTheTimeAtZero)
{
    home.writeIni("[WayPoint]\r\nAltitude=650\r\nAltitudeGPS=30\r\nZhiShiShiJian=77\r\nFenPin=2\r\n");
    COptions sheet(station, threePorts);
    COptWayPoint* page = sheet.wayPointPage();
    EXPECT_EQ(page->field(EWayPointField::Altitude)->text(), QStringLiteral("650"));
    EXPECT_EQ(page->field(EWayPointField::AltitudeGps)->text(), QStringLiteral("30"));
    EXPECT_EQ(page->field(EWayPointField::ZhiShiShiJian)->text(), QStringLiteral("0"));
    EXPECT_EQ(page->fenPinBox()->currentText(), QStringLiteral("2"));
    EXPECT_TRUE(page->hiddenGroup()->isHidden());

    page->field(EWayPointField::AltitudeGps)->setText(QStringLiteral(" -40 "));
    page->fenPinBox()->setCurrentIndex(5);
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(station.settings().getInt(keys::kZhiShiShiJian), 0);
    EXPECT_EQ(station.settings().getInt(keys::kAltitude), 650);
    EXPECT_EQ(station.settings().getInt(keys::kFenPin), 6);
    // The application re-read the two values it keeps.
    EXPECT_EQ(station.fenPin(), 6);
    EXPECT_FLOAT_EQ(station.altitudeGps(), -40.0f);
}

TEST_F(OptionsSheetTest, OutOfRangeValueNamesTheRangeKeepsTheSheetOpenAndStoresNothing)
{
    BoxRecorder boxes;
    COptions sheet(station, threePorts);
    sheet.show();
    sheet.tabs()->setCurrentIndex(0);
    COptWayPoint* page = sheet.wayPointPage();
    page->field(EWayPointField::Altitude)->setText(QStringLiteral("4"));
    sheet.accept();
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(sheet.isVisible());
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("请输入一个介于 5 和 10000 之间的整数。"));
    EXPECT_EQ(sheet.tabs()->currentWidget(), page);
    EXPECT_EQ(sheet.focusWidget(), page->field(EWayPointField::Altitude));
    EXPECT_FALSE(std::filesystem::exists(home.ini()) &&
                 station.settings().getInt(keys::kAltitude) == 4);

    page->field(EWayPointField::Altitude)->setText(QStringLiteral("abc"));
    sheet.accept();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts[1], QStringLiteral("请输入一个整数。"));

    // A bad value in a field without its own control: the field is shown so it can be corrected.
    page->field(EWayPointField::Altitude)->setText(QStringLiteral("10000"));
    page->field(EWayPointField::DelayTime)->setText(QStringLiteral("256"));
    sheet.accept();
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_EQ(boxes.texts[2], QStringLiteral("请输入一个介于 0 和 255 之间的整数。"));
    EXPECT_FALSE(page->hiddenGroup()->isHidden());
    EXPECT_EQ(sheet.focusWidget(), page->field(EWayPointField::DelayTime));
    page->field(EWayPointField::DelayTime)->setText(QStringLiteral("255"));
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(station.settings().getInt(keys::kAltitude), 10000);
    EXPECT_EQ(station.settings().getInt(keys::kDelayTime), 255);
}
