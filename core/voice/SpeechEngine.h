#pragma once
// The small interface through which the voice announcer reaches a text-to-speech engine and the
// loudspeaker. The desktop program puts the platform's engine behind it; tests put a recorder.

#include <optional>
#include <string>

namespace orvex {

// How the engine is set up at start: values of the `Voice` section of the settings file.
struct SSpeechConfig {
    int voiceIndex = 0; // `Speech`: position in the engine's list of voices, from 0
    int format = 0;     // `Format`: output audio format code (see decodeSpeechFormat)
    int rate = 0;       // `Rate`: -10 (slowest) .. 10 (fastest), 0 normal
    int volume = 50;    // `Volume`: 0 .. 100
};

// A PCM output format named by a `Format` code. Codes 0..35 walk nine sample rates (8000, 11025,
// 12000, 16000, 22050, 24000, 32000, 44100, 48000 Hz), each with four layouts in the order
// 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo: 0 is 8 kHz 8-bit mono, 35 is 48 kHz
// 16-bit stereo.
struct SSpeechFormat {
    int sampleRateHz = 0;
    int bitsPerSample = 0;
    int channels = 0;
};

// The format named by `code`, or nothing for a code outside 0..35 (the engine then keeps its
// own default format).
std::optional<SSpeechFormat> decodeSpeechFormat(int code);

class ISpeechEngine {
public:
    virtual ~ISpeechEngine() = default;

    // False when no engine could be created; the announcer then stays silent for the whole run.
    virtual bool isAvailable() const = 0;

    // Selects the voice, output format, volume and rate. A part the engine cannot apply (a voice
    // index beyond its voices, a format its device refuses) leaves its default in place.
    virtual void configure(const SSpeechConfig& config) = 0;

    // Hands one phrase over to be spoken: queued behind everything handed over before (phrases
    // and beeps alike), returns at once.
    virtual void speak(const std::string& text) = 0;

    // A tone of the given pitch and length, queued like a phrase so that it sounds before the
    // phrase handed over after it.
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

} // namespace orvex
