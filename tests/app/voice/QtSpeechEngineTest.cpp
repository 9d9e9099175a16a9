// The desktop speech engine against the real Qt text-to-speech engine and Qt Multimedia. When
// the PulseAudio server program is installed, the tests run their own server with a null sink
// (so nothing is heard and a machine without a sound card still has an output), record the
// sink's monitor with parec and measure the beep's pitch and the phrase after it in what came out.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextToSpeech>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <memory>

#include "voice/QtSpeechEngine.h"

namespace {

// A private PulseAudio server with one null sink, for the whole test run.
class CNullSoundServer : public ::testing::Environment {
public:
    static CNullSoundServer* instance;
    bool running = false;
    QString whyNot;

    void SetUp() override
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (server.isEmpty()) {
            whyNot = QStringLiteral("the pulseaudio server program is not installed");
            return;
        }
        if (!m_dir.isValid()) {
            whyNot = QStringLiteral("no temporary directory");
            return;
        }
        const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_socket = m_dir.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("HOME"), m_dir.path());
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(server, {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                                QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                                QStringLiteral("--use-pid-file=no"), QStringLiteral("--system=no"),
                                QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=orvexnull"),
                                QStringLiteral("-L"),
                                QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(m_socket)});
        if (!m_server.waitForStarted(5000)) {
            whyNot = QStringLiteral("the pulseaudio server did not start");
            return;
        }
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(m_socket) && waited.elapsed() < 10000 && m_server.state() == QProcess::Running)
            m_server.waitForReadyRead(100);
        if (!QFile::exists(m_socket)) {
            whyNot = QStringLiteral("the pulseaudio server made no socket: ") + QString::fromLocal8Bit(m_server.readAll());
            TearDown();
            return;
        }
        // Qt Multimedia and parec connect to this server from now on.
        qputenv("PULSE_SERVER", ("unix:" + m_socket).toLocal8Bit());
        running = true;
    }

    void TearDown() override
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished(5000);
            }
        }
        running = false;
    }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_server;
};

CNullSoundServer* CNullSoundServer::instance =
    static_cast<CNullSoundServer*>(::testing::AddGlobalTestEnvironment(new CNullSoundServer));

constexpr int kNullSinkLatencyMs = 2500;

// Records the null sink's monitor into a WAV file while it lives.
class CMonitorRecording {
public:
    explicit CMonitorRecording(const QString& wavPath) : m_path(wavPath)
    {
        const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
        if (parec.isEmpty())
            return;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(parec, {QStringLiteral("-d"), QStringLiteral("orvexnull.monitor"),
                                QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"),
                                QStringLiteral("--format=s16le"), QStringLiteral("--latency-msec=20"),
                                QStringLiteral("--file-format=wav"), wavPath});
        m_started = m_process.waitForStarted(5000);
        if (m_started)
            QTest::qWait(500); // the stream is connected before anything is played
    }
    ~CMonitorRecording() { stop(); }
    bool started() const { return m_started; }
    std::string output() { return m_process.readAll().toStdString(); }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        // The null sink renders in blocks of up to two seconds: wait for the last one.
        QTest::qWait(kNullSinkLatencyMs);
        m_process.terminate(); // parec finishes the WAV header on SIGTERM
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QString m_path;
    QProcess m_process;
    bool m_started = false;
};

struct SSoxStat {
    bool ok = false;
    std::string output;
    double roughFrequencyHz = 0;
};

SSoxStat soxStat(const QString& wavPath)
{
    SSoxStat result;
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    if (sox.isEmpty())
        return result;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(sox, {wavPath, QStringLiteral("-n"), QStringLiteral("stat")});
    if (!p.waitForFinished(20000))
        return result;
    const QString out = QString::fromLocal8Bit(p.readAll());
    result.output = out.toStdString();
    const QRegularExpressionMatch freq = QRegularExpression(QStringLiteral("Rough\\s+frequency:\\s+(-?\\d+)")).match(out);
    if (!freq.hasMatch())
        return result;
    result.ok = true;
    result.roughFrequencyHz = freq.captured(1).toDouble();
    return result;
}

// A mono 16-bit WAV of `pcm`.
bool writeWav(const QString& path, const QByteArray& pcm, int sampleRateHz, int channels, int bits)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    auto u32 = [&](quint32 v) {
        const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
        f.write(b, 4);
    };
    auto u16 = [&](quint16 v) {
        const char b[2] = {char(v & 0xFF), char(v >> 8)};
        f.write(b, 2);
    };
    const int blockAlign = channels * bits / 8;
    f.write("RIFF");
    u32(36 + pcm.size());
    f.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(sampleRateHz);
    u32(sampleRateHz * blockAlign);
    u16(blockAlign);
    u16(bits);
    f.write("data");
    u32(pcm.size());
    f.write(pcm);
    return true;
}

QString skipReason(const CQtSpeechEngine& engine)
{
    if (!engine.isAvailable())
        return QStringLiteral("no usable text-to-speech engine (Qt offers: %1; audio output: %2; %3)")
            .arg(QTextToSpeech::availableEngines().join(QLatin1Char(',')),
                 engine.hasAudioDevice() ? QStringLiteral("present") : QStringLiteral("none"),
                 CNullSoundServer::instance->running ? QStringLiteral("private sound server running")
                                                     : CNullSoundServer::instance->whyNot);
    return QString();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QTest::qWait(20);
    return done();
}

TEST(QtSpeechEngineTest, RangesAndEngineChoice)
{
    EXPECT_EQ(CQtSpeechEngine::chooseEngine({QStringLiteral("speechd"), QStringLiteral("flite")}), QStringLiteral("flite"));
    EXPECT_EQ(CQtSpeechEngine::chooseEngine({QStringLiteral("speechd")}), QStringLiteral("speechd"));
    EXPECT_TRUE(CQtSpeechEngine::chooseEngine({QStringLiteral("mock")}).isEmpty());
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtVolume(50), 0.5);
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtVolume(150), 1.0);
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtVolume(-3), 0.0);
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtRate(-10), -1.0);
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtRate(3), 0.3);
    EXPECT_DOUBLE_EQ(CQtSpeechEngine::qtRate(99), 1.0);
    const QAudioFormat f = CQtSpeechEngine::formatForCode(35);
    EXPECT_EQ(f.sampleRate(), 48000);
    EXPECT_EQ(f.channelCount(), 2);
    EXPECT_EQ(f.sampleFormat(), QAudioFormat::Int16);
    EXPECT_EQ(CQtSpeechEngine::formatForCode(0).sampleFormat(), QAudioFormat::UInt8);
    EXPECT_FALSE(CQtSpeechEngine::formatForCode(36).isValid());
}

TEST(QtSpeechEngineTest, BeepBufferMeasures750HzWithSox)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int code : {2, 14, 34}) { // 8 kHz, 16 kHz and 48 kHz, 16-bit mono
        const QAudioFormat f = CQtSpeechEngine::formatForCode(code);
        const QByteArray pcm = CQtSpeechEngine::toneSamples(750, 200, f);
        ASSERT_EQ(pcm.size(), f.sampleRate() / 5 * 2);
        const QString wav = dir.filePath(QStringLiteral("beep%1.wav").arg(code));
        ASSERT_TRUE(writeWav(wav, pcm, f.sampleRate(), 1, 16));

        // Zero crossings of the samples themselves.
        int crossings = 0;
        const auto* s = reinterpret_cast<const int16_t*>(pcm.constData());
        for (qsizetype i = 1; i < pcm.size() / 2; ++i)
            if ((s[i - 1] < 0) != (s[i] < 0))
                ++crossings;
        EXPECT_NEAR(crossings / 2.0 / 0.2, 750.0, 10.0) << "format " << code;

        const SSoxStat stat = soxStat(wav);
        if (!stat.ok) {
            ADD_FAILURE() << "sox could not measure " << wav.toStdString() << " (is sox installed?)";
            continue;
        }
        EXPECT_NEAR(stat.roughFrequencyHz, 750.0, 15.0) << "format " << code;
    }
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

TEST(QtSpeechEngineTest, SpeaksThroughTheRealEngineAfterTheBeepInOrder)
{
    CQtSpeechEngine engine;
    if (const QString why = skipReason(engine); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    orvex::SSpeechConfig config;
    config.volume = 100;
    config.format = 14; // 16 kHz 16-bit mono
    engine.configure(config);
    EXPECT_FALSE(engine.voiceName().isEmpty());

    std::vector<std::string> order;
    QObject::connect(&engine, &CQtSpeechEngine::beepFinished, [&] { order.push_back("beep"); });
    QObject::connect(&engine, &CQtSpeechEngine::phraseFinished,
                     [&](const QString& text) { order.push_back(text.toStdString()); });

    engine.beep(750, 200);
    engine.speak(",GPS Satellites is 4");
    engine.speak(",Engine Off");
    EXPECT_TRUE(order.empty()) << "handing over returns before anything is played";
    EXPECT_TRUE(engine.busy());
    ASSERT_TRUE(waitFor([&] { return order.size() == 3; }, 60000)) << "the engine never finished";
    EXPECT_EQ(order, (std::vector<std::string>{"beep", ",GPS Satellites is 4", ",Engine Off"}));
    EXPECT_FALSE(engine.busy());
}

// The samples of a 16-bit mono WAV file (empty when it is not one).
std::vector<int16_t> readWavSamples(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    auto u32 = [&](qsizetype at) {
        return quint32(quint8(all[at])) | quint32(quint8(all[at + 1])) << 8 | quint32(quint8(all[at + 2])) << 16 |
               quint32(quint8(all[at + 3])) << 24;
    };
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return {};
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const quint32 size = u32(at + 4);
        if (all.mid(at, 4) == "data") {
            // parec leaves the size open while it records; take what is there.
            const qsizetype bytes = std::min<qsizetype>(all.size() - (at + 8), size == 0 ? all.size() : size);
            std::vector<int16_t> out(static_cast<size_t>(bytes / 2));
            std::memcpy(out.data(), all.constData() + at + 8, out.size() * 2);
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

TEST(QtSpeechEngineTest, AnAlertSoundsAsTheBeepThenThePhrase)
{
    if (!CNullSoundServer::instance->running)
        GTEST_SKIP() << "no private sound server to listen to: " << CNullSoundServer::instance->whyNot.toStdString();
    CQtSpeechEngine engine;
    if (const QString why = skipReason(engine); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("alert.wav"));
    CMonitorRecording rec(wav);
    if (!rec.started())
        GTEST_SKIP() << "parec is not installed";
    QSignalSpy done(&engine, &CQtSpeechEngine::idle);
    engine.beep(750, 200);
    engine.speak(",RC Able");
    ASSERT_TRUE(done.wait(30000));
    rec.stop();
    const std::vector<int16_t> samples = readWavSamples(wav); // 16 kHz mono
    constexpr int kRateHz = 16000;
    size_t beepStart = 0;
    while (beepStart < samples.size() && std::abs(samples[beepStart]) < 1000)
        ++beepStart;
    ASSERT_LT(beepStart + kRateHz * 2, samples.size()) << "no sound recorded";

    // The first sound is the tone: count its zero crossings over 150 ms.
    int crossings = 0;
    for (size_t i = beepStart + 1; i < beepStart + kRateHz * 150 / 1000; ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    EXPECT_NEAR(crossings / 2.0 / 0.15, 750.0, 30.0);

    // Then the phrase: sound after the beep has ended.
    double sum = 0;
    const size_t from = beepStart + kRateHz * 300 / 1000;
    const size_t to = std::min(samples.size(), from + kRateHz * 2);
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / double(to - from)) / 32768.0;
    EXPECT_GT(rms, 0.005) << "the phrase after the beep was not heard";
    std::printf("alert: beep %.0f Hz, phrase RMS %.3f\n", crossings / 2.0 / 0.15, rms);
}

TEST(QtSpeechEngineTest, AFloodOfPhrasesIsCapped)
{
    CQtSpeechEngine engine;
    if (const QString why = skipReason(engine); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (int i = 0; i < 200; ++i)
        engine.speak(",RC Able");
    EXPECT_EQ(engine.pendingCount(), CQtSpeechEngine::kMaxPending);
}

} // namespace
