// The desktop speech engine: its mapping of the settings onto Qt's ranges and formats, and, where
// a text-to-speech engine is installed, the real engine speaking after the beep in order (through
// a private PulseAudio server with a null sink when that program is installed, so that nothing is
// heard and a machine without a sound card still has an output). The beep's pitch is measured in
// the core's tone tests.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextToSpeech>

#include <string>
#include <vector>

#include "app/voice/QtSpeechEngine.h"

namespace {

class CNullSoundServer : public ::testing::Environment {
public:
    void SetUp() override
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (server.isEmpty() || !m_dir.isValid())
            return;
        const QString runtime = m_dir.filePath(QStringLiteral("runtime")), socket = m_dir.filePath(QStringLiteral("native"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("HOME"), m_dir.path());
        m_server.setProcessEnvironment(env);
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(server, {QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
                                QStringLiteral("--disable-shm=yes"), QStringLiteral("--use-pid-file=no"),
                                QStringLiteral("--system=no"), QStringLiteral("-L"), QStringLiteral("module-null-sink"),
                                QStringLiteral("-L"),
                                QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket)});
        // The socket appears once the server is ready (an event to wait for, not a time).
        for (int i = 0; i < 100 && !QFile::exists(socket) && !m_server.waitForFinished(100); ++i) {
        }
        if (QFile::exists(socket))
            qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    }
    void TearDown() override
    {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};
const auto* const kSoundServer = ::testing::AddGlobalTestEnvironment(new CNullSoundServer);

TEST(QtSpeechEngineTest, RangesFormatsAndEngineChoice)
{
    EXPECT_EQ(CQtSpeechEngine::chooseEngine({QStringLiteral("speechd"), QStringLiteral("flite")}), QStringLiteral("flite"));
    EXPECT_EQ(CQtSpeechEngine::chooseEngine({QStringLiteral("speechd")}), QStringLiteral("speechd"));
    EXPECT_TRUE(CQtSpeechEngine::chooseEngine({QStringLiteral("mock")}).isEmpty());
    for (const auto& [in, volume, rate] : std::vector<std::tuple<int, double, double>>{
             {50, 0.5, 1.0}, {150, 1.0, 1.0}, {-3, 0.0, -0.3}, {-10, 0.0, -1.0}, {3, 0.03, 0.3}, {-99, 0.0, -1.0}}) {
        EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtVolume(in), volume) << in;
        EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtRate(in), rate) << in;
    }
    const QAudioFormat f = CQtSpeechEngine::formatForCode(35);
    EXPECT_EQ(f.sampleRate(), 48000);
    EXPECT_EQ(f.channelCount(), 2);
    EXPECT_EQ(f.sampleFormat(), QAudioFormat::Int16);
    EXPECT_EQ(CQtSpeechEngine::formatForCode(0).sampleFormat(), QAudioFormat::UInt8);
    EXPECT_FALSE(CQtSpeechEngine::formatForCode(36).isValid());

    // 200 ms of the tone: 16 kHz 16-bit mono is 6400 bytes, 8 kHz 8-bit mono 1600.
    EXPECT_EQ(CQtSpeechEngine::toneSamples(750, 200, CQtSpeechEngine::formatForCode(14)).size(), 6400);
    EXPECT_EQ(CQtSpeechEngine::toneSamples(750, 200, CQtSpeechEngine::formatForCode(0)).size(), 1600);
    EXPECT_TRUE(CQtSpeechEngine::toneSamples(750, 200, QAudioFormat()).isEmpty());
}

TEST(QtSpeechEngineTest, WithoutAnEngineEverythingIsSilentAndNothingWaits)
{
    CQtSpeechEngine engine(nullptr, QStringLiteral("no-such-engine"));
    EXPECT_FALSE(engine.isAvailable());
    engine.configure(orvex::SSpeechConfig{});
    engine.beep(750, 200);
    engine.speak(",RC Able");
    EXPECT_FALSE(engine.busy());
    EXPECT_EQ(engine.pendingCount(), 0u);
}

// The real text-to-speech engine, where one is installed.
TEST(QtSpeechEngineTest, SpeaksThroughTheRealEngineAfterTheBeepInOrderAndCapsAFlood)
{
    CQtSpeechEngine engine;
    if (!engine.isAvailable())
        GTEST_SKIP() << "no usable text-to-speech engine (Qt offers: "
                     << QTextToSpeech::availableEngines().join(QLatin1Char(',')).toStdString() << ")";
    orvex::SSpeechConfig config;
    config.volume = 100;
    config.format = 14; // 16 kHz 16-bit mono
    engine.configure(config);
    EXPECT_FALSE(engine.voiceName().isEmpty());

    std::vector<std::string> order;
    QObject::connect(&engine, &CQtSpeechEngine::beepFinished, [&] { order.push_back("beep"); });
    QObject::connect(&engine, &CQtSpeechEngine::phraseFinished,
                     [&](const QString& text) { order.push_back(text.toStdString()); });
    QSignalSpy idle(&engine, &CQtSpeechEngine::idle);

    engine.beep(750, 200);
    engine.speak(",GPS Satellites is 4");
    engine.speak(",Engine Off");
    EXPECT_TRUE(order.empty()) << "handing over returns before anything is played";
    EXPECT_TRUE(engine.busy());
    ASSERT_TRUE(idle.wait(60000)) << "the engine never finished";
    EXPECT_EQ(order, (std::vector<std::string>{"beep", ",GPS Satellites is 4", ",Engine Off"}));
    EXPECT_FALSE(engine.busy());

    for (int i = 0; i < 200; ++i)
        engine.speak(",RC Able");
    EXPECT_EQ(engine.pendingCount(), CQtSpeechEngine::kMaxPending);
}

} // namespace
