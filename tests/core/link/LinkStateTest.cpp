// The link state machine: every step that releases the store writes the records first.
#include "link/LinkState.h"
#include "link/ComConfig.h"

#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

struct Hooks : ILinkHooks {
    int portsClosed = 0, tracksCleared = 0, timerStops = 0, barHides = 0;
    void closeSerialPort() override { ++portsClosed; }
    void clearAircraftTrack() override { ++tracksCleared; }
    void stopReplayTimer() override { ++timerStops; }
    void hideFlightDataBar() override { ++barHides; }
};

class LinkStateTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        state.setHooks(&hooks);
        state.setLogDirectory((dir / "Hj").string());
    }

    std::tm nextTime()
    {
        std::tm t{};
        t.tm_year = 126, t.tm_mon = 6, t.tm_mday = 1, t.tm_hour = 10, t.tm_sec = seconds++;
        return t;
    }
    std::size_t recordsInLog(const std::string& name) const
    {
        std::error_code ec;
        const auto size = fs::file_size(dir / "Hj" / name, ec);
        return ec ? 0 : std::size_t(size) / 99;
    }
    void feed(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(state.storeRecord(stpRecord(2.0f, 0.0f, i).data()).has_value()); // latitude 2: not empty
    }

    CTempDir tmp{"orvex-link"};
    fs::path dir = tmp.dir();
    int seconds = 0;
    Hooks hooks;
    CLinkState state{[this] { return nextTime(); }};
};

} // namespace

TEST_F(LinkStateTest, ClosingOrOpeningAnotherLinkWritesTheLastRecordsBeforeReleasingTheStore)
{
    ASSERT_TRUE(state.openSerial([] { return true; }));
    EXPECT_TRUE(state.serialOpen());
    EXPECT_FALSE(state.canOpenLink());
    const std::string serialLog = state.logWriter().fileName();
    EXPECT_EQ(serialLog, "20260701100000.hj");
    feed(7);
    EXPECT_EQ(state.store().displayIndex(), 6u);
    state.flush();
    EXPECT_EQ(recordsInLog(serialLog), 7u);
    feed(3); // arrive after the last timer flush
    state.closeLink();
    EXPECT_EQ(recordsInLog(serialLog), 10u);
    EXPECT_EQ(hooks.portsClosed, 1);
    EXPECT_EQ(hooks.barHides, 1);
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
    EXPECT_FALSE(state.store().isHeld());
    EXPECT_EQ(state.flush().recordsWritten, 0u) << "timer 4 does nothing while idle";

    state.activateWifi();
    EXPECT_TRUE(state.wifiActive());
    const std::string wifiLog = state.logWriter().fileName();
    feed(5);
    // A serial link reopened after a failure goes on in the serial link's log, seconds later.
    ASSERT_TRUE(state.reopenSerial([] { return true; }));
    EXPECT_EQ(recordsInLog(wifiLog), 5u);
    EXPECT_EQ(hooks.barHides, 2);
    EXPECT_EQ(hooks.tracksCleared, 2); // the close above and the switch
    EXPECT_EQ(state.logWriter().fileName(), serialLog);
    feed(2); // into a new store: the serial log gets these two more
    state.activateWifi();
    EXPECT_EQ(recordsInLog(serialLog), 12u);
    EXPECT_EQ(hooks.portsClosed, 2);
}

TEST_F(LinkStateTest, StartingAReplayAndShutdownFlushTooAndOnlyCloseLinkOrReplayReleasesAReplay)
{
    ASSERT_TRUE(state.openSerial([] { return true; }));
    const std::string log = state.logWriter().fileName();
    feed(4);
    auto loaded = state.startReplay((dir / "Hj" / log).string());
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_TRUE(state.replayLoaded());
    EXPECT_TRUE(state.replay().isRunning());
    EXPECT_EQ(state.store().count(), 4u) << "the replay sees every record of the closed link";
    EXPECT_TRUE(state.store().isReadOnly());
    EXPECT_FALSE(state.storeRecord(stpRecord(2.0f, 0.0f).data()).has_value()) << "replay store takes no records";
    EXPECT_EQ(state.flush().recordsWritten, 0u);

    state.closeLink();
    EXPECT_TRUE(state.replayLoaded()) << "close link keeps a replay";
    const int stopsBefore = hooks.timerStops;
    state.closeLinkOrReplay();
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
    EXPECT_FALSE(state.store().isHeld());
    EXPECT_FALSE(state.replay().isRunning());
    EXPECT_GT(hooks.timerStops, stopsBefore);

    state.activateWifi(); // a writable store again, or the records below are not taken
    const std::string wifiLog = state.logWriter().fileName();
    feed(6);
    state.shutdown();
    EXPECT_EQ(recordsInLog(wifiLog), 6u);
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
}

TEST_F(LinkStateTest, FailedOpenOrReplayLoadLeavesIdle)
{
    EXPECT_FALSE(state.openSerial([] { return false; }));
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
    EXPECT_FALSE(state.store().isHeld());
    EXPECT_TRUE(state.canOpenLink());
    EXPECT_FALSE(state.canCloseLink());

    EXPECT_FALSE(state.startReplay((dir / "missing.hj").string()).ok); // its error is the replay's
    EXPECT_EQ(state.mode(), ELinkMode::Idle);
}

TEST_F(LinkStateTest, DestroyingTheStateStillWritesTheLog)
{
    std::string log;
    {
        CLinkState local{[this] { return nextTime(); }};
        local.setLogDirectory((dir / "Hj").string());
        local.activateWifi();
        log = local.logWriter().fileName();
        local.storeRecord(stpRecord(2.0f, 0.0f).data()); // a single record is written too
    }
    EXPECT_EQ(recordsInLog(log), 1u);
}

TEST(ComConfig, DefaultsAreTheWin32Layout)
{
    const CComConfig c;
    // The bytes that are not 0: sizes, 115200 = 0x0001C200 at 12, flags (binary, DTR enable) at 16,
    // XON/XOFF limits 2048 and 512 at 22 and 24, 8 data bits at 26 (no parity, one stop bit), XON/XOFF
    // chars at 29-30.
    std::vector<std::uint8_t> layout(52, 0);
    for (auto [at, v] : {std::pair{0, 52}, {4, 1}, {8, 28}, {13, 0xC2}, {14, 0x01}, {16, 0x11}, {23, 0x08},
                         {25, 0x02}, {26, 8}, {29, 0x11}, {30, 0x13}})
        layout[at] = std::uint8_t(v);
    EXPECT_EQ(c.toVector(), layout);
    EXPECT_TRUE(c.problem().empty());
}

TEST(ComConfig, SavedRecordOverwritesAtMost52Bytes)
{
    // A record saved on Windows: 9600 = 0x2580 at 12; flags binary, CTS flow, DTR enable at 16, RTS handshake (bits 12-13 = 2)
    // at 17; 7 data bits, even parity, two stop bits at 26-28.
    std::vector<std::uint8_t> saved(52, 0);
    for (auto [at, v] : {std::pair{0, 52}, {4, 1}, {8, 28}, {12, 0x80}, {13, 0x25}, {16, 0x15}, {17, 0x20}, {26, 7},
                         {27, 2}, {28, 2}})
        saved[at] = std::uint8_t(v);
    saved.push_back(0x99); // byte 53 is never taken
    const CComConfig c = CComConfig::fromSaved(saved);
    EXPECT_EQ(c.baudRate(), 9600u);
    EXPECT_EQ(c.byteSize(), 7);
    EXPECT_EQ(c.parity(), EParity::Even);
    EXPECT_EQ(c.stopBits(), EStopBits::Two);
    EXPECT_EQ(c.rtsControl(), ERtsControl::Handshake);
    EXPECT_EQ(c.flowControl(), EFlowControl::Hardware);
    EXPECT_EQ(c.toVector(), std::vector<std::uint8_t>(saved.begin(), saved.begin() + 52));

    // 28 bytes: only the first 28 are replaced; stop bits and the XON/XOFF chars stay default.
    std::vector<std::uint8_t> shortRecord(saved.begin(), saved.begin() + 28);
    const CComConfig s = CComConfig::fromSaved(shortRecord);
    EXPECT_EQ(s.parity(), EParity::Even);
    EXPECT_EQ(s.stopBits(), EStopBits::One);
    EXPECT_EQ(s.bytes()[29], 0x11);
}

TEST(ComConfig, EditingKeepsOtherBytesAndFlagsBitExact)
{
    std::vector<std::uint8_t> saved = CComConfig().toVector();
    saved[36] = 1;     // provider subtype written by the platform
    saved[16] |= 0x40; // DSR sensitivity, not edited here
    CComConfig c = CComConfig::fromSaved(saved);
    c.setBaudRate(57600);
    c.setFlowControl(EFlowControl::Software);
    EXPECT_EQ(c.flowControl(), EFlowControl::Software);
    EXPECT_TRUE(c.xonXoffInput());
    EXPECT_TRUE(c.xonXoffOutput());
    EXPECT_EQ(c.rtsControl(), ERtsControl::Enable);
    EXPECT_EQ(c.bytes()[36], 1);
    EXPECT_EQ(c.bytes()[16] & 0x40, 0x40);
    EXPECT_EQ(c.dtrControl(), EDtrControl::Enable);
    c.setFlowControl(EFlowControl::None);
    EXPECT_EQ(c.flowControl(), EFlowControl::None);
    c.setDtrControl(EDtrControl::Disable);
    EXPECT_EQ(c.bytes()[16] & 0x30, 0);

    CComConfig broken;
    broken.setByteSize(9);
    EXPECT_FALSE(broken.problem().empty());
    broken.setByteSize(8);
    broken.setBaudRate(0);
    EXPECT_FALSE(broken.problem().empty());
}

TEST(SerialDevicePath, MapsComNamesAndKeepsDeviceNames)
{
    const std::pair<const char*, const char*> rows[] = {
        {"COM1", "/dev/ttyS0"}, {"COM12", "/dev/ttyS11"}, {"com3", "/dev/ttyS2"}, {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/7", "/dev/pts/7"}, {"COM0", "/dev/COM0"} /* no COM0 port: a name that does not open */,
        {"COMX", "/dev/COMX"}, {"COM99999999999", "/dev/COM99999999999"}, {"", ""}};
    for (auto [name, path] : rows)
        EXPECT_EQ(serialDevicePath(name), path) << name;
}
