// "获取" of the parameter dialog end to end: the request leaves through the WiFi transport on
// 127.0.0.1, an aircraft stand-in answers with a "$PAR" datagram, and every control is filled.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <cstring>
#include <memory>
#include <vector>

#include "app/GroundStation.h"
#include "config/ParamSetDlg.h"
#include "link/MyUDP.h"
#include "ConfigTestSupport.h"

using namespace orvex;
using namespace orvex::configtest;

namespace {

// The "$PAR" the stand-in answers with: every parameter byte set, laid out from the field table.
QByteArray parameterAnswer()
{
    const Bytes f = parFrame({
        {4, 31},  {6, 32},  {7, 33},  {9, 34},  {12, 35}, {22, 36}, {24, 37}, {25, 38}, {26, 39}, {28, 40},
        {33, 41}, {34, 42}, {38, 43}, {17, 236}, {23, 100},
        {5, 0x2C},  // 12 cells, start protection "启用", stick enable "关闭"
        {42, 0x27}, // control type 7, overload "剧烈"
        {43, 0xE4}, // remote "自适应", voltage "3.60伏", ESC "IIC电调", servo rate "Other"
        {32, 150},  // "6.0 米/秒"
        {27, 115},  // 15.0 degrees
    });
    return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
}

class ParamSetOverUdp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        ASSERT_TRUE(m_aircraft.bind(QHostAddress::LocalHost, 0));
        ASSERT_TRUE(m_udp.start(0, QHostAddress::LocalHost, m_aircraft.localPort()));
        m_station->attachLink(m_udp);
        m_station->setWifiActive(true);
        m_udp.setActive(true);
        // The stand-in answers every parameter request with the same "$PAR".
        QObject::connect(&m_aircraft, &QUdpSocket::readyRead, [this] {
            while (m_aircraft.hasPendingDatagrams()) {
                const QNetworkDatagram d = m_aircraft.receiveDatagram();
                m_received.push_back(d.data());
                if (d.data().startsWith("$WIFIhhh"))
                    m_aircraft.writeDatagram(parameterAnswer(), d.senderAddress(), static_cast<quint16>(d.senderPort()));
            }
        });
    }
    void TearDown() override
    {
        m_station->detachLink(m_udp);
        m_udp.stop();
        m_station.reset();
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    CMyUDP m_udp;
    QUdpSocket m_aircraft;
    std::vector<QByteArray> m_received;
};

} // namespace

TEST_F(ParamSetOverUdp, FetchFillsEveryField)
{
    CParamSetDlg dlg(*m_station);
    m_station->parameterDialogOpen = true;
    dlg.show();
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return !dlg.edit(EParamEdit::YawP)->text().isEmpty(); }));
    ASSERT_EQ(m_received.size(), 1u);
    QByteArray request(30, '\0');
    std::memcpy(request.data(), "$WIFIhhh", 8);
    EXPECT_EQ(m_received[0], request);

    const auto text = [&](EParamEdit e) { return dlg.edit(e)->text().toStdString(); };
    EXPECT_EQ(text(EParamEdit::YawP), "31");
    EXPECT_EQ(text(EParamEdit::YawI), "32");
    EXPECT_EQ(text(EParamEdit::RollI), "33");
    EXPECT_EQ(text(EParamEdit::MaxVerticalSpeed), "34");
    EXPECT_EQ(text(EParamEdit::ThrottleP), "35");
    EXPECT_EQ(text(EParamEdit::VerticalStability), "36");
    EXPECT_EQ(text(EParamEdit::PitchGain), "37");
    EXPECT_EQ(text(EParamEdit::AttitudeGain), "38");
    EXPECT_EQ(text(EParamEdit::PitchI), "39");
    EXPECT_EQ(text(EParamEdit::ThrottleI), "40");
    EXPECT_EQ(text(EParamEdit::SwayCompensation), "41");
    EXPECT_EQ(text(EParamEdit::AircraftType), "42");
    EXPECT_EQ(text(EParamEdit::RollGain), "43");
    EXPECT_EQ(text(EParamEdit::GimbalRollGain), "-20");
    EXPECT_EQ(text(EParamEdit::GimbalPitchGain), "100");
    EXPECT_EQ(text(EParamEdit::CellCount), "12");
    EXPECT_EQ(text(EParamEdit::ControlType), "7");
    EXPECT_EQ(text(EParamEdit::Declination), "15.0");
    const auto item = [&](EParamCombo c) { return dlg.combo(c)->currentText().toStdString(); };
    EXPECT_EQ(item(EParamCombo::StartProtection), "启用");
    EXPECT_EQ(item(EParamCombo::StickEnable), "关闭");
    EXPECT_EQ(item(EParamCombo::Overload), "剧烈");
    EXPECT_EQ(item(EParamCombo::RemoteMode), "自适应");
    EXPECT_EQ(item(EParamCombo::VoltageAlarm), "3.60伏");
    EXPECT_EQ(item(EParamCombo::EscType), "IIC电调");
    EXPECT_EQ(item(EParamCombo::ServoRate), "Other");
    EXPECT_EQ(item(EParamCombo::MaxSpeed), "6.0 米/秒");
    EXPECT_FALSE(dlg.customSpeedEdit()->isVisible());

    // The same answer after the dialog was closed changes nothing.
    dlg.close();
    m_station->parameterDialogOpen = false;
    dlg.edit(EParamEdit::YawP)->clear();
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return m_received.size() == 2; }));
    pumpFor(300);
    EXPECT_TRUE(dlg.edit(EParamEdit::YawP)->text().isEmpty());
}
