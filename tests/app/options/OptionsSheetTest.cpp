// The options sheet wired to the core's rules against a real Korva.ini: the port page's list,
// selection and storing, the port configuration record and dialog, and the waypoint defaults page
// with its range refusals and writes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "link/ComConfig.h"
#include "app/options/Options.h"
#include "app/options/PortConfigDlg.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

std::vector<SSerialPortEntry> threePorts()
{
    return {{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}, {"COM5", "/dev/ttyS4"}};
}

class OptionsSheetTest : public ::testing::Test {
protected:
    OptionsSheetTest()
    {
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            boxes.push_back(call.text);
            return true;
        });
    }
    ~OptionsSheetTest() override { setMessageBoxInterceptor({}); }
    void writeIni(const std::string& text) { CTempDir::write(home.file("Korva.ini"), text); }

    CTempDir home{"orvex-optsheet"};
    CGroundStation station{CAppPaths(home.path(), home.path())};
    QStringList boxes;
};

} // namespace

TEST_F(OptionsSheetTest, PortAndWayPointPagesShowTheStoredValuesAndStoreTheSelectedOrTypedOnes)
{
    writeIni("[Settings]\r\nCOMPORT=COM3\r\n[WayPoint]\r\nAltitude=650\r\nFenPin=2\r\n");
    {
        COptions sheet(station, threePorts);
        QComboBox* box = sheet.comPage()->portBox();
        ASSERT_EQ(box->count(), 3);
        EXPECT_EQ(box->currentText(), QStringLiteral("COM3"));
        box->setCurrentIndex(0); // the list's top entry
        EXPECT_TRUE(sheet.applyButton()->isEnabled());
        QTest::mouseClick(sheet.applyButton(), Qt::LeftButton);
        EXPECT_EQ(station.settings().getText(keys::kComPort), "COM5");
    }
    {
        COptions sheet(station, threePorts);
        sheet.comPage()->portBox()->lineEdit()->selectAll();
        QTest::keyClicks(sheet.comPage()->portBox()->lineEdit(), QStringLiteral("/dev/pts/7"));
        COptWayPoint* page = sheet.wayPointPage();
        EXPECT_EQ(page->field(EWayPointField::Altitude)->text(), QStringLiteral("650"));
        EXPECT_EQ(page->fenPinBox()->currentText(), QStringLiteral("2"));
        page->field(EWayPointField::AltitudeGps)->setText(QStringLiteral(" -40 "));
        page->fenPinBox()->setCurrentIndex(5);
        sheet.accept();
        EXPECT_EQ(station.settings().getText(keys::kComPort), "/dev/pts/7");
        EXPECT_EQ(station.settings().getInt(keys::kAltitude), 650);
        EXPECT_EQ(station.fenPin(), 6) << "the application re-read the two values it keeps";
        EXPECT_FLOAT_EQ(station.altitudeGps(), -40.0f);
    }
    COptions again(station, threePorts);
    EXPECT_EQ(again.comPage()->portBox()->currentText(), QStringLiteral("/dev/pts/7"));
}

TEST_F(OptionsSheetTest, ConfigureNeedsAPortStartsFromTheStoredRecordAndStoresTheConfirmedOne)
{
    // Four stored bytes 0x10 0x00 0x02 0x00 ("AB AA CA AA") over the defaults.
    writeIni("[Settings]\r\nCOMPORT=COM5\r\nCOMCONF=ABAACAAA\r\n");
    QString seenPort;
    std::optional<CComConfig> seen;
    const auto configurator = [&](QWidget*, const QString& port, const CComConfig& c) -> std::optional<CComConfig> {
        seenPort = port;
        seen = c;
        CComConfig changed = c;
        changed.setBaudRate(57600);
        return changed;
    };
    COptions none(station, [] { return std::vector<SSerialPortEntry>{}; });
    none.comPage()->setConfigurator(configurator);
    none.comPage()->configure();
    none.accept();
    EXPECT_FALSE(seen.has_value()) << "no port to configure";
    EXPECT_EQ(station.settings().getText(keys::kComPort), "COM5") << "no port, nothing stored";

    COptions sheet(station, threePorts);
    sheet.comPage()->setConfigurator(configurator);
    sheet.comPage()->configure();
    EXPECT_EQ(seenPort, QStringLiteral("COM5"));
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->bytes()[0], 0x10) << "a record stored with no port would start from the defaults";
    const auto stored = station.settings().getBinary(keys::kComConf);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(CComConfig::fromSaved(*stored).baudRate(), 57600u);
}

TEST_F(OptionsSheetTest, PortConfigDialogEditsTheLineSettingsAndRefusesAnOddBaudRate)
{
    const CComConfig start;
    CPortConfigDlg dlg(QStringLiteral("COM5"), start);
    EXPECT_EQ(dlg.config().bytes(), start.bytes()) << "unchanged: the same bytes";
    dlg.baudBox()->setCurrentText(QStringLiteral("9600"));
    dlg.dataBitsBox()->setCurrentIndex(dlg.dataBitsBox()->findText(QStringLiteral("7")));
    dlg.parityBox()->setCurrentIndex(2);   // even
    dlg.stopBitsBox()->setCurrentIndex(2); // two
    dlg.dtrBox()->setChecked(false);
    const CComConfig c = dlg.config();
    EXPECT_EQ(c.baudRate(), 9600u);
    EXPECT_EQ(c.byteSize(), 7);
    EXPECT_EQ(c.parity(), EParity::Even);
    EXPECT_EQ(c.stopBits(), EStopBits::Two);
    EXPECT_EQ(c.dtrControl(), EDtrControl::Disable);

    dlg.baudBox()->setCurrentText(QStringLiteral("115201"));
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("请选择标准波特率(110 到 921600)")});
}

TEST_F(OptionsSheetTest, OutOfRangeValueNamesTheRangeKeepsTheSheetOpenAndShowsTheField)
{
    COptions sheet(station, threePorts);
    sheet.show();
    sheet.tabs()->setCurrentIndex(0);
    COptWayPoint* page = sheet.wayPointPage();
    page->field(EWayPointField::DelayTime)->setText(QStringLiteral("256"));
    sheet.accept();
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("请输入一个介于 0 和 255 之间的整数。")});
    EXPECT_EQ(sheet.tabs()->currentWidget(), page);
    EXPECT_FALSE(page->hiddenGroup()->isHidden()) << "a field without its own control is shown to be corrected";
    EXPECT_EQ(sheet.focusWidget(), page->field(EWayPointField::DelayTime));
    EXPECT_FALSE(station.settings().getInt(keys::kDelayTime) == 256);

    page->field(EWayPointField::DelayTime)->setText(QStringLiteral("abc"));
    sheet.accept();
    EXPECT_EQ(boxes.back(), QStringLiteral("请输入一个整数。"));
}
