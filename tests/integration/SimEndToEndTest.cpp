// The ground station's core against `orvex sim` over real loopback UDP and real pseudo-terminals:
// telemetry at the rate set and every record in the flight log, route upload with and without
// faults, verification read-back, parameters, and a link that falls silent.
#include "SimHarness.h"

#include <pty.h>

#include "protocol/Uplink.h"
#include "route/RouteUpload.h"
#include "sim/SimAircraft.h"

using namespace orvex;
using namespace orvex::simtest;

namespace {

constexpr int kTickMs = 100; // the upload step, ticked faster than the program's 600 ms

// Pumps the ground side until the simulator has exited, then a little longer for the last datagrams.
template <typename Ground>
void pumpUntilExit(CSimProcess& sim, Ground& ground, CGroundSink& sink, int timeoutMs = 15000)
{
    const int64_t end = nowMs() + timeoutMs;
    while (!sim.exited() && nowMs() < end) {
        ground.pump(200);
        sink.writer.flush(sink.store);
    }
    ground.pump(300);
}

TEST(SimEndToEnd, UdpRecordsArriveAtTheRateAndTheLogHoldsEveryOne)
{
    CTempDir dir;
    CGroundSink sink(dir.path);
    CGroundUdp ground(sink);
    CSimProcess sim;
    ASSERT_TRUE(
        sim.start({"--udp", "--listen", "0", "--gcs", ground.address(), "--rate", "20", "--duration", "3"}));
    ASSERT_NE(sim.udpPort(), 0);
    pumpUntilExit(sim, ground, sink);
    ASSERT_EQ(sim.finish(), 0);
    const long long sent = summaryInt(sim.errText(), "records_udp");
    EXPECT_EQ(summaryInt(sim.errText(), "records_serial"), 0);
    // 3 s at 20 Hz. The simulator skips what falls due while it is held up (no bursts), so on a busy
    // machine a few go missing; a wrong rate (the default 5 Hz, or 10) would send far fewer.
    EXPECT_GE(sent, 45);
    EXPECT_LE(sent, 62);
    EXPECT_EQ(static_cast<long long>(sink.records), sent);
    EXPECT_TRUE(sink.writer.flush(sink.store).ok);
    EXPECT_EQ(static_cast<long long>(sink.loggedRecords()), sent);
    EXPECT_TRUE(sink.logMatchesStore());
    for (std::size_t i = 0; i < sink.store.count(); ++i)
        ASSERT_TRUE(recordChecksumOk(sink.store.record(i)));
}

TEST(SimEndToEnd, PseudoTerminalRecordsAtTheRateAndAnswersOnTheSerialLine)
{
    CTempDir dir;
    CGroundSink sink(dir.path);
    CSimProcess sim;
    ASSERT_TRUE(sim.start({"--serial", "--rate", "20", "--duration", "3"}));
    const auto path = sim.waitFor("serial port: ");
    ASSERT_TRUE(path);
    CGroundSerial ground(sink, *path);
    ASSERT_GE(ground.fd, 0);
    ground.pump(300);
    for (int i = 0; i < uplink::kAttitudeAlignmentRepeats; ++i)
        ground.send(uplink::attitudeAlignment());
    uint8_t values[20] = {};
    ground.send(uplink::parameterWrite(std::span<const uint8_t, 20>(values)));
    pumpUntilExit(sim, ground, sink);
    ASSERT_EQ(sim.finish(), 0);
    const long long sent = summaryInt(sim.errText(), "records_serial");
    EXPECT_GE(sent, 45); // 3 s at 20 Hz, less what a held-up simulator skips
    EXPECT_LE(sent, 62);
    EXPECT_EQ(static_cast<long long>(sink.records), sent);
    EXPECT_TRUE(sink.writer.flush(sink.store).ok);
    EXPECT_EQ(static_cast<long long>(sink.loggedRecords()), sent);
    EXPECT_TRUE(sink.logMatchesStore());
    // One "$STSAT" for the burst of five, and "$T2POK" for the parameter write.
    EXPECT_EQ(std::count(sink.acknowledgements.begin(), sink.acknowledgements.end(), "$STSAT"), 1);
    EXPECT_EQ(std::count(sink.acknowledgements.begin(), sink.acknowledgements.end(), "$T2POK"), 1);
}

TEST(SimEndToEnd, NamedSerialDeviceAndSplitSentences)
{
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    CGroundSerial::makeRaw(slave);
    CTempDir dir;
    CGroundSink sink(dir.path);
    CGroundSerial ground(sink, master);
    CGroundSink udpSink(dir.path + "/udp");
    CGroundUdp udp(udpSink);
    CSimProcess sim;
    ASSERT_TRUE(sim.start({"--serial", name, "--udp", "--listen", "0", "--gcs", udp.address(), "--split",
                           "--rate", "25", "--duration", "2"}));
    ASSERT_TRUE(sim.waitFor("serial port: "));
    ::close(slave); // the simulator holds its own descriptor now
    const int64_t end = nowMs() + 10000;
    while (!sim.exited() && nowMs() < end) {
        ground.pump(100);
        udp.pump(100);
    }
    ground.pump(200);
    udp.pump(200);
    ASSERT_EQ(sim.finish(), 0);
    EXPECT_GT(summaryInt(sim.errText(), "sentences_split"), 80);
    EXPECT_EQ(static_cast<long long>(sink.records), summaryInt(sim.errText(), "records_serial"));
    EXPECT_EQ(static_cast<long long>(udpSink.records), summaryInt(sim.errText(), "records_udp"));
    EXPECT_GE(sink.records, 38u); // 2 s at 25 Hz, less what a held-up simulator skips
    EXPECT_GE(udpSink.records, 38u);
}

TEST(SimEndToEnd, SerialLineClosingLeavesTheWifiLinkRunning)
{
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    CGroundSerial::makeRaw(slave);
    CTempDir dir;
    CGroundSink udpSink(dir.path);
    CGroundUdp udp(udpSink);
    CSimProcess sim;
    ASSERT_TRUE(sim.start({"--serial", name, "--udp", "--listen", "0", "--gcs", udp.address(), "--rate", "20",
                           "--duration", "3"}));
    ASSERT_TRUE(sim.waitFor("serial port: "));
    ::close(slave);
    udp.pump(500);
    ::close(master); // the line goes away under the simulator
    const int64_t end = nowMs() + 10000;
    while (!sim.exited() && nowMs() < end)
        udp.pump(100);
    udp.pump(200);
    ASSERT_EQ(sim.finish(), 0);
    EXPECT_NE(sim.errText().find("serial line closed"), std::string::npos);
    EXPECT_EQ(static_cast<long long>(udpSink.records), summaryInt(sim.errText(), "records_udp"));
    EXPECT_GE(udpSink.records, 45u); // 3 s at 20 Hz, less what a held-up simulator skips
    // Waiting on a dead line must not spin. A quiet run of 3 s takes well under 0.1 s of processor
    // time; a loop woken by the hang-up over and over takes several times that.
    EXPECT_GE(sim.cpuSeconds(), 0.0);
    EXPECT_LT(sim.cpuSeconds(), 0.4);
}

// A 20-waypoint route uploaded through the upload state machine over UDP.
struct SUploadRun {
    bool completed = false;
    int reportedCount = -1;
    std::size_t verified = 0;
    std::size_t wrongAccepted = 0; // echoes accepted whose values differ from what was sent
    std::string simSummary;
};

CSkyWay twentyWaypoints()
{
    CSkyWay route;
    for (int i = 0; i < 20; ++i) {
        CWayPoint w;
        w.latitude = 22.6142 + 0.0004 * (i / 5);
        w.longitude = 113.8431 + 0.0004 * (i % 5);
        w.altitude = 30 + i;
        w.photoMode = (i % 3 == 0) ? kPhotoEqualDistance1 : kPhotoKeep;
        w.circleFlag = 100;
        w.circleTime = static_cast<uint16_t>(10 * i);
        route.append(w);
    }
    return route;
}

SUploadRun uploadRoute(const std::vector<std::string>& faults, int timeoutMs, bool verifyAfter)
{
    SUploadRun run;
    CTempDir dir;
    CGroundSink sink(dir.path);
    CGroundUdp ground(sink);
    CSkyWay route = twentyWaypoints();
    CRouteUpload upload(
        route, [&](std::span<const uint8_t> f) { ground.send(f); }, [](int, int) {});
    sink.echoHandler = [&](const SWaypointEcho& e) {
        if (upload.onEcho(e)) {
            const CWayPoint& w = route[e.number - 1];
            // What the aircraft holds is exactly the single-precision value that was sent.
            if (e.latitude != narrowToFloat(w.latitude) || e.longitude != narrowToFloat(w.longitude) ||
                e.altitude != w.altitude || e.photoMode != w.photoMode || e.circleFlag != w.circleFlag ||
                e.circleTime != w.circleTime)
                ++run.wrongAccepted;
        }
    };
    std::vector<std::string> args = {"--udp",  "--listen", "0",      "--gcs", ground.address(),
                                     "--rate", "20",       "--seed", "7"};
    args.insert(args.end(), faults.begin(), faults.end());
    CSimProcess sim;
    EXPECT_TRUE(sim.start(args));
    const uint16_t port = sim.udpPort();
    EXPECT_NE(port, 0);
    ground.setPeer(port);
    ground.pump(300);
    EXPECT_FALSE(upload.start().has_value());
    const int64_t end = nowMs() + timeoutMs;
    while (upload.active() && nowMs() < end) {
        upload.tick(sink.storedWaypointCount);
        ground.pump(kTickMs);
    }
    run.completed = !upload.active();
    ground.pump(300);
    run.reportedCount = sink.storedWaypointCount;
    if (verifyAfter && run.completed) {
        upload.eraseMarks();
        for (const auto& w : route)
            EXPECT_EQ(w.verified, 0);
        EXPECT_TRUE(upload.requestVerification());
        ground.pump(1000);
    }
    for (const auto& w : route)
        run.verified += w.verified == 1 ? 1 : 0;
    EXPECT_EQ(sim.finish(SIGTERM), 0);
    run.simSummary = sim.errText();
    return run;
}

TEST(SimEndToEnd, RouteUploadOfTwentyWaypointsThenVerificationReadBack)
{
    const SUploadRun run = uploadRoute({}, 20000, true);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.reportedCount, 20);
    EXPECT_EQ(run.verified, 20u); // marked again by the read-back alone
    EXPECT_EQ(run.wrongAccepted, 0u);
    EXPECT_EQ(summaryInt(run.simSummary, "stored_waypoints"), 20);
    EXPECT_NE(run.simSummary.find("\"stopped_by\":\"SIGTERM\""), std::string::npos);
}

TEST(SimEndToEnd, RouteUploadCompletesWithTenPercentLoss)
{
    const SUploadRun run = uploadRoute({"--loss", "0.1"}, 40000, false);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.reportedCount, 20);
    EXPECT_EQ(run.verified, 20u);
    EXPECT_GT(summaryInt(run.simSummary, "sentences_lost"), 0);
}

TEST(SimEndToEnd, CorruptedEchoesNeverVerifyAWrongWaypoint)
{
    const SUploadRun run = uploadRoute({"--corrupt", "0.01"}, 40000, false);
    EXPECT_GT(summaryInt(run.simSummary, "bytes_corrupted"), 0);
    EXPECT_EQ(run.wrongAccepted, 0u);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.verified, 20u);
}

TEST(SimEndToEnd, ParametersReadWrittenReadBackAndMixingTable)
{
    CTempDir dir;
    CGroundSink sink(dir.path);
    CGroundUdp ground(sink);
    CSimProcess sim;
    ASSERT_TRUE(sim.start({"--udp", "--listen", "0", "--gcs", ground.address()}));
    ground.setPeer(sim.udpPort());
    ground.pump(200);

    ground.send(uplink::parameterRequest());
    ground.pump(500);
    ASSERT_EQ(sink.parameters.size(), 1u);
    const auto defaults = CSimAircraft::defaultParameters();
    EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), sink.parameters[0].values.begin()));

    uint8_t written[20];
    for (int k = 0; k < 20; ++k)
        written[k] = static_cast<uint8_t>(7 * k + 3);
    ground.send(uplink::parameterWrite(std::span<const uint8_t, 20>(written)));
    ground.pump(200);
    ground.send(uplink::parameterRequest());
    ground.pump(500);
    ASSERT_EQ(sink.parameters.size(), 2u);
    const auto& positions = CSimAircraft::parameterWritePositions();
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(sink.parameters[1].values[positions[k] - 4], written[k]) << "k=" << k;

    ground.send(uplink::defaultParameterReset());
    ground.pump(200);
    ground.send(uplink::parameterRequest());
    ground.pump(500);
    ASSERT_EQ(sink.parameters.size(), 3u);
    EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), sink.parameters[2].values.begin()));

    // The mixing table: four columns written, read back in field order.
    std::array<int8_t, 32> table{};
    for (int i = 0; i < 32; ++i)
        table[i] = static_cast<int8_t>(i * 9 - 120);
    for (int col = 0; col < 4; ++col) {
        uint8_t data[8];
        for (int m = 0; m < 8; ++m)
            data[m] = static_cast<uint8_t>(table[col * 8 + m]);
        ground.send(uplink::commandCodeWithData(static_cast<uint8_t>(kCommandCustomColumn1 + col),
                                                std::span<const uint8_t, 8>(data)));
    }
    ground.send(uplink::commandCode(kCommandCustomRequest));
    ground.pump(500);
    ASSERT_EQ(sink.custom.size(), 1u);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(static_cast<int8_t>(sink.custom[0].raw[i]), table[i]) << i;

    // A clean stop on SIGINT, with the summary.
    EXPECT_EQ(sim.finish(SIGINT), 0);
    EXPECT_NE(sim.errText().find("\"stopped_by\":\"SIGINT\""), std::string::npos);
}

TEST(SimEndToEnd, SilentLinkKeepsTheGroundRunningWithItsLogIntactAndHeartbeatLossReported)
{
    CTempDir dir;
    CGroundSink sink(dir.path);
    CGroundUdp ground(sink);
    CSimProcess sim;
    ASSERT_TRUE(sim.start({"--udp", "--listen", "0", "--gcs", ground.address(), "--rate", "20",
                           "--silent-after", "5", "--duration", "9"}));
    ground.setPeer(sim.udpPort());
    const int64_t start = nowMs();
    // Heartbeats for the first 4 s, then none: the simulator reports the loss 3 s later.
    const int64_t end = start + 15000;
    while (!sim.exited() && nowMs() < end) {
        if (nowMs() - start < 4000) ground.send(uplink::heartbeat(0));
        ground.pump(250);
        EXPECT_TRUE(sink.writer.flush(sink.store).ok);
    }
    ground.pump(300);
    ASSERT_EQ(sim.finish(), 0);
    const std::string& err = sim.errText();
    const long long sent = summaryInt(err, "records_udp");
    EXPECT_GE(sent, 75); // about 5 s at 20 Hz, less what a held-up simulator skips
    EXPECT_LE(sent, 105);
    EXPECT_GT(summaryInt(err, "sentences_silenced"), 50);
    EXPECT_EQ(static_cast<long long>(sink.records), sent);
    // Nothing after the silence began (5 s into a 9 s run); the margin is for a busy machine, the
    // record count above already bounds what was sent.
    EXPECT_LT(sink.lastArrivalMs - start, 7000);
    EXPECT_TRUE(sink.writer.flush(sink.store).ok);
    EXPECT_EQ(static_cast<long long>(sink.loggedRecords()), sent);
    EXPECT_TRUE(sink.logMatchesStore());
    EXPECT_NE(err.find("heartbeat lost"), std::string::npos);
    EXPECT_GE(summaryInt(err, "heartbeats"), 10);
}

TEST(SimEndToEnd, UsageErrors)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--udp", "--rate", "0"},
                                                 {"--udp", "--loss", "1.5"},
                                                 {"--udp", "--home", "95,10"},
                                                 {"--udp", "--gcs", "nohostport"},
                                                 {"--serial", "--bogus"}}) {
        CSimProcess sim;
        ASSERT_TRUE(sim.start(args));
        EXPECT_EQ(sim.finish(0, 5000), 2);
        EXPECT_NE(sim.errText().find("orvex"), std::string::npos);
    }
}

} // namespace
