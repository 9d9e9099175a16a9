#include "app/voice/QtSpeechEngine.h"

#include <QAudioSink>
#include <QLocale>
#include <QMediaDevices>
#include <QTextToSpeech>
#include <QVoice>
#include <algorithm>
#include <vector>

#include "voice/Tone.h"

namespace {
// How long a phrase may take to start, and then to finish, before it is given up (an engine
// that lost its audio output may never report back).
constexpr int kPhraseStartTimeoutMs = 5000;
constexpr int kPhraseBaseTimeoutMs = 30000;
constexpr int kPhrasePerCharTimeoutMs = 150;
// A beep whose stream never reports that it has been played (a sound server that buffers for
// seconds, a device that went away) is given up after its length and this much more.
constexpr int kBeepSlackMs = 3000;

const char* const kEnginePreference[] = {"flite", "speechd"};
} // namespace

CQtSpeechEngine::CQtSpeechEngine(QObject* parent, const QString& engineName) : QObject(parent)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { finishCurrent(); });

    const QStringList available = QTextToSpeech::availableEngines();
    QStringList candidates;
    if (!engineName.isEmpty()) {
        if (available.contains(engineName))
            candidates << engineName;
    } else {
        for (const char* name : kEnginePreference)
            if (available.contains(QLatin1String(name)))
                candidates << QLatin1String(name);
    }
    for (const QString& name : candidates) {
        auto* speech = new QTextToSpeech(name, this);
        // An engine that cannot reach its output reports it at once: speech-dispatcher without
        // its daemon by its error state, flite without an audio device by its error text (its
        // state stays Ready; and Qt 6.4 reports an error reason even for a working flite
        // engine, so the reason cannot decide).
        if (speech->state() == QTextToSpeech::Error || !speech->errorString().isEmpty()) {
            delete speech;
            continue;
        }
        m_speech = speech;
        m_engineName = name;
        connect(m_speech, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State state) { onSpeechState(state); });
        break;
    }

    m_device = QMediaDevices::defaultAudioOutput();
    chooseBeepFormat(orvex::SSpeechConfig{}.format);
}

CQtSpeechEngine::~CQtSpeechEngine()
{
    m_watchdog.stop();
    m_queue.clear();
    m_current = EItem::None;
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
    }
    if (m_speech) {
        m_speech->disconnect(this);
        m_speech->stop();
    }
}

QString CQtSpeechEngine::chooseEngine(const QStringList& available)
{
    for (const char* name : kEnginePreference)
        if (available.contains(QLatin1String(name)))
            return QLatin1String(name);
    return QString();
}

double CQtSpeechEngine::qtVolume(int volume)
{
    return std::clamp(volume, 0, 100) / 100.0;
}

double CQtSpeechEngine::qtRate(int rate)
{
    return std::clamp(rate, -10, 10) / 10.0;
}

bool CQtSpeechEngine::isAvailable() const
{
    return m_speech != nullptr;
}

QString CQtSpeechEngine::voiceName() const
{
    return m_speech ? m_speech->voice().name() : QString();
}

void CQtSpeechEngine::configure(const orvex::SSpeechConfig& config)
{
    chooseBeepFormat(config.format);
    if (!m_speech)
        return;

    // The phrases are English: speak them with an English voice list when the engine has one
    // and the program runs under another language.
    if (m_speech->locale().language() != QLocale::English) {
        const QList<QLocale> locales = m_speech->availableLocales();
        const auto english = std::find_if(locales.begin(), locales.end(),
                                          [](const QLocale& l) { return l.language() == QLocale::English; });
        if (english != locales.end())
            m_speech->setLocale(*english);
    }
    const QList<QVoice> voices = m_speech->availableVoices();
    if (config.voiceIndex >= 0 && config.voiceIndex < voices.size())
        m_speech->setVoice(voices.at(config.voiceIndex));
    m_speech->setVolume(qtVolume(config.volume));
    m_speech->setRate(qtRate(config.rate));
}

QAudioFormat CQtSpeechEngine::formatForCode(int code)
{
    QAudioFormat format;
    const std::optional<orvex::SSpeechFormat> f = orvex::decodeSpeechFormat(code);
    if (!f)
        return format;
    format.setSampleRate(f->sampleRateHz);
    format.setChannelCount(f->channels);
    format.setSampleFormat(f->bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return format;
}

void CQtSpeechEngine::chooseBeepFormat(int formatCode)
{
    m_beepFormat = QAudioFormat();
    if (m_device.isNull())
        return;
    const QAudioFormat wanted = formatForCode(formatCode);
    if (wanted.isValid() && m_device.isFormatSupported(wanted)) {
        m_beepFormat = wanted;
        return;
    }
    QAudioFormat preferred = m_device.preferredFormat();
    if (preferred.sampleFormat() != QAudioFormat::UInt8 && preferred.sampleFormat() != QAudioFormat::Int16)
        preferred.setSampleFormat(QAudioFormat::Int16);
    if (preferred.sampleRate() <= 0)
        preferred.setSampleRate(48000);
    if (preferred.channelCount() <= 0)
        preferred.setChannelCount(1);
    m_beepFormat = preferred;
}

QByteArray CQtSpeechEngine::toneSamples(int frequencyHz, int durationMs, const QAudioFormat& format)
{
    int bits = 0;
    if (format.sampleFormat() == QAudioFormat::UInt8)
        bits = 8;
    else if (format.sampleFormat() == QAudioFormat::Int16)
        bits = 16;
    else
        return QByteArray();
    const std::vector<std::uint8_t> pcm =
        orvex::makeTonePcm(frequencyHz, durationMs, orvex::SSpeechFormat{format.sampleRate(), bits, format.channelCount()});
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), static_cast<qsizetype>(pcm.size()));
}

void CQtSpeechEngine::speak(const std::string& text)
{
    if (!m_speech || text.empty())
        return;
    SItem item;
    item.kind = EItem::Phrase;
    item.text = QString::fromStdString(text);
    enqueue(std::move(item));
}

void CQtSpeechEngine::beep(int frequencyHz, int durationMs)
{
    if (!m_speech || !m_beepFormat.isValid() || frequencyHz <= 0 || durationMs <= 0)
        return;
    SItem item;
    item.kind = EItem::Beep;
    item.frequencyHz = frequencyHz;
    item.durationMs = durationMs;
    enqueue(std::move(item));
}

void CQtSpeechEngine::enqueue(SItem item)
{
    if (m_queue.size() >= kMaxPending)
        return;
    m_queue.push_back(std::move(item));
    if (m_current == EItem::None && !m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, this, [this] { playNext(); });
    }
}

void CQtSpeechEngine::playNext()
{
    m_scheduled = false;
    if (m_current != EItem::None)
        return;
    if (m_queue.empty()) {
        emit idle();
        return;
    }
    const SItem item = std::move(m_queue.front());
    m_queue.pop_front();
    if (item.kind == EItem::Beep) {
        startBeep(item);
        return;
    }
    m_current = EItem::Phrase;
    m_currentText = item.text;
    m_watchdog.start(kPhraseStartTimeoutMs);
    m_speech->say(item.text);
}

void CQtSpeechEngine::onSpeechState(int state)
{
    if (m_current != EItem::Phrase)
        return;
    if (state == QTextToSpeech::Speaking) {
        m_watchdog.start(kPhraseBaseTimeoutMs + kPhrasePerCharTimeoutMs * static_cast<int>(m_currentText.size()));
        return;
    }
    if (state == QTextToSpeech::Ready || state == QTextToSpeech::Error)
        finishCurrent();
}

void CQtSpeechEngine::startBeep(const SItem& item)
{
    m_current = EItem::Beep;
    m_beepBytes = toneSamples(item.frequencyHz, item.durationMs, m_beepFormat);
    if (m_beepBytes.isEmpty()) {
        finishCurrent();
        return;
    }
    if (m_sink && m_sink->format() != m_beepFormat) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink->deleteLater();
        m_sink = nullptr;
    }
    if (!m_sink) {
        m_sink = new QAudioSink(m_device, m_beepFormat, this);
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (m_current != EItem::Beep)
                return;
            // Idle after playing: the sound server has played every sample (an underrun);
            // Stopped: the device gave up.
            if (state == QAudio::IdleState && m_beepStarted)
                finishCurrent();
            else if (state == QAudio::StoppedState)
                finishCurrent();
            else if (state == QAudio::ActiveState)
                m_beepStarted = true;
        });
    } else {
        m_sink->stop();
    }
    m_beepStarted = false;
    m_watchdog.start(item.durationMs + kBeepSlackMs);
    // Pushed whole into a buffer of exactly its size: the sound server starts playing only once
    // its buffer is full, so a larger buffer (or pulling from a QBuffer) would never start.
    m_sink->setBufferSize(m_beepBytes.size());
    if (QIODevice* out = m_sink->start())
        out->write(m_beepBytes);
    if (m_current == EItem::Beep && m_sink->error() != QAudio::NoError)
        finishCurrent();
}

void CQtSpeechEngine::finishCurrent()
{
    m_watchdog.stop();
    const EItem finished = m_current;
    if (finished == EItem::None)
        return;
    m_current = EItem::None;
    if (finished == EItem::Beep) {
        if (m_sink && m_sink->state() != QAudio::StoppedState)
            m_sink->stop();
        emit beepFinished();
    } else {
        emit phraseFinished(m_currentText);
        m_currentText.clear();
    }
    if (!m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, this, [this] { playNext(); });
    }
}
