#include "voice/VoiceAnnouncer.h"

#include <cstdlib>
#include <limits>

#include "base/Format.h"
#include "voice/Tone.h"

namespace orvex {

namespace {
// Alerts push the counter down by 5 each; a state byte flapping on every record must not be
// able to push it past the range of int.
constexpr int kTickCounterFloor = std::numeric_limits<int>::min() / 2;
constexpr int kTickCounterWrap = 1000;
constexpr int kRecordSeenPeriodTicks = 3;
} // namespace

CVoiceAnnouncer::CVoiceAnnouncer(ISpeechEngine* engine) : engine_(engine) {}

bool CVoiceAnnouncer::active() const
{
    return engine_ != nullptr && engine_->isAvailable();
}

void CVoiceAnnouncer::initialise(const SVoiceSettings& settings)
{
    settings_ = settings;
    if (settings_.fenPin < 1)
        settings_.fenPin = 1;
    if (!active())
        return;
    SSpeechConfig config;
    config.voiceIndex = settings_.speech;
    config.format = settings_.format;
    config.rate = settings_.rate;
    config.volume = settings_.volume;
    engine_->configure(config);
}

void CVoiceAnnouncer::speak(const std::string& text)
{
    if (text.empty() || !active())
        return;
    engine_->speak(text);
}

void CVoiceAnnouncer::alert(const std::string& text, int repeats)
{
    engine_->beep(kBeepFrequencyHz, kBeepDurationMs);
    for (int i = 0; i < repeats; ++i)
        speak(text);
    tickCounter_ = tickCounter_ - kEventCostTicks < kTickCounterFloor ? kTickCounterFloor
                                                                      : tickCounter_ - kEventCostTicks;
}

void CVoiceAnnouncer::linkStateChanged(bool lost)
{
    if (active() && settings_.linkState == 1)
        alert(lost ? kDataLinkLost : kDataLinkRestored, 1);
}

void CVoiceAnnouncer::applyFields(const SVoiceRecordFields& f)
{
    if (!active())
        return;
    recordSeen_ = true;

    int rcState = 1;
    int parachuteState = 1;
    switch (f.receiverOn) {
    case 1:
        rcState = 0;
        parachuteState = 0;
        break;
    case 0:
        rcState = 1;
        parachuteState = 0;
        break;
    case 11:
        rcState = 0;
        parachuteState = 1;
        break;
    default:
        break;
    }

    if (rcState != lastRcState_) {
        lastRcState_ = rcState;
        if (settings_.rcState == 1)
            alert(rcState == 0 ? kRcDisable : kRcAble, 1);
    }
    if (parachuteState != lastParachuteState_) {
        lastParachuteState_ = parachuteState;
        if (settings_.umState == 1)
            alert(parachuteState == 0 ? kParachuteDisable : kParachuteAble, 2);
    }

    if (lastSatelliteCount_ > kSatelliteFloor && f.satelliteCount < kSatelliteFloor && settings_.gpsStarState == 1)
        alert(strprintf(kSatellitesFormat, f.satelliteCount), 1);
    lastSatelliteCount_ = f.satelliteCount;

    const long long fenPin = settings_.fenPin < 1 ? 1 : settings_.fenPin;
    const int speedRpm = static_cast<int>(static_cast<long long>(f.pulseCount) * 60 / fenPin);
    if (speedRpm == 0 && lastEngineSpeedRpm_ > kEngineRunningRpm && settings_.zhuanSuState == 1)
        alert(kEngineOff, 3);
    lastEngineSpeedRpm_ = speedRpm;

    const int below = f.altitudeReference - f.altitude;
    if (presetReached_ && below > kPresetBand && !lowerWarned_) {
        if (settings_.highState == 1)
            alert(kAltitudeLower, 1);
        lowerWarned_ = true;
    }
    if (std::abs(f.altitude - f.altitudeReference) < kPresetBand) {
        if (!presetReached_ && settings_.highState == 1)
            alert(kArrivePresetAltitude, 1);
        presetReached_ = true;
        lowerWarned_ = false;
    } else {
        presetReached_ = false;
    }

    lastAltitude_ = f.altitude;
    autopilotVoltageV_ = f.supplyVoltageRaw * kVoltsPerCount;
}

bool CVoiceAnnouncer::isIntervalDue(int counter, int intervalUnits)
{
    if (intervalUnits <= 0)
        return false;
    const long long period = static_cast<long long>(intervalUnits) * kIntervalUnitTicks;
    return counter % period == 0;
}

void CVoiceAnnouncer::tick()
{
    if (!recordSeen_ || !active())
        return;
    ++tickCounter_;
    if (tickCounter_ < 0)
        return;

    if (isIntervalDue(tickCounter_, settings_.high)) {
        if (lastAltitude_ < 0)
            speak(strprintf(kAltitudeMinusFormat,
                            lastAltitude_ == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                                              : -lastAltitude_));
        else
            speak(strprintf(kAltitudeFormat, lastAltitude_));
    }
    if (isIntervalDue(tickCounter_, settings_.zhuanSu))
        speak(strprintf(kRpmFormat, lastEngineSpeedRpm_));
    if (isIntervalDue(tickCounter_, settings_.feiKong) && autopilotVoltageV_ < settings_.lowVoltageV)
        speak(strprintf(kVoltFormat, autopilotVoltageV_));

    if (tickCounter_ > kTickCounterWrap)
        tickCounter_ = 0;
    if (tickCounter_ % kRecordSeenPeriodTicks == 0)
        recordSeen_ = false;
}

} // namespace orvex
