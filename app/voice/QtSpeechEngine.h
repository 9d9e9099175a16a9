#pragma once
// The speech engine of the desktop program: Qt's text-to-speech (the flite engine when it is
// installed, speech-dispatcher otherwise) for the phrases and a generated tone played through
// Qt Multimedia for the beep. Phrases and beeps play one after another in the order handed over;
// nothing here ever blocks the window. Without an engine or an audio device it stays silent.

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>

#include "voice/SpeechEngine.h"

class QAudioSink;
class QTextToSpeech;

class CQtSpeechEngine : public QObject, public orvex::ISpeechEngine {
    Q_OBJECT
public:
    // At most this many phrases and beeps wait; what comes beyond is dropped, so that a flood of
    // alerts cannot keep the loudspeaker busy for minutes or grow without bound.
    static constexpr std::size_t kMaxPending = 32;

    // `engineName` empty: flite when installed, then speech-dispatcher.
    explicit CQtSpeechEngine(QObject* parent = nullptr, const QString& engineName = QString());
    ~CQtSpeechEngine() override;

    // The engine that was chosen, in the order of preference, from those Qt offers.
    static QString chooseEngine(const QStringList& available);
    // Qt's ranges: volume 0..1 from 0..100, rate -1..1 from -10..10 (values outside clamped).
    static double qtVolume(int volume);
    static double qtRate(int rate);

    // orvex::ISpeechEngine
    bool isAvailable() const override;
    void configure(const orvex::SSpeechConfig& config) override;
    void speak(const std::string& text) override;
    void beep(int frequencyHz, int durationMs) override;

    QString engineName() const { return m_engineName; }
    // The voice in use (empty when none).
    QString voiceName() const;
    // True while a phrase or beep is playing or waiting.
    bool busy() const { return m_current != EItem::None || !m_queue.empty(); }
    std::size_t pendingCount() const { return m_queue.size(); }

    // The beep's output: the `Format` format when the audio device takes it, otherwise a format
    // it prefers in 8 or 16 bits. Invalid when there is no audio device.
    QAudioFormat beepFormat() const { return m_beepFormat; }
    bool hasAudioDevice() const { return !m_device.isNull(); }
    // The tone's samples in `format` (UInt8 or Int16 only; others give an empty array).
    static QByteArray toneSamples(int frequencyHz, int durationMs, const QAudioFormat& format);
    // The format a `Format` code names, or an invalid format for a code outside 0..35.
    static QAudioFormat formatForCode(int code);

signals:
    // Emitted each time a phrase has been spoken (or given up) and a beep has sounded.
    void phraseFinished(const QString& text);
    void beepFinished();
    // Everything handed over has been played.
    void idle();

private:
    enum class EItem { None, Phrase, Beep };
    struct SItem {
        EItem kind = EItem::None;
        QString text;
        int frequencyHz = 0;
        int durationMs = 0;
    };

    void enqueue(SItem item);
    void playNext();
    void finishCurrent();
    void startBeep(const SItem& item);
    void chooseBeepFormat(int formatCode);
    void onSpeechState(int state);

    QString m_engineName;
    QTextToSpeech* m_speech = nullptr;
    QAudioDevice m_device;
    QAudioFormat m_beepFormat;
    QAudioSink* m_sink = nullptr;
    QByteArray m_beepBytes;
    bool m_beepStarted = false;
    QTimer m_watchdog;
    std::deque<SItem> m_queue;
    EItem m_current = EItem::None;
    QString m_currentText;
    bool m_scheduled = false;
};
