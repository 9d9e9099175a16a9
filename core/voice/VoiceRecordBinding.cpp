// The announcer's reading of the telemetry record and of the settings file.
#include "base/Settings.h"
#include "protocol/TelemetryRecord.h"
#include "voice/VoiceAnnouncer.h"

namespace orvex {

namespace keys {
inline constexpr SettingKey kVoiceLinkState{"Voice", "LinkState", "1"};
} // namespace keys

SVoiceRecordFields CVoiceAnnouncer::fieldsOf(const CTelemetryRecord& record)
{
    SVoiceRecordFields f;
    f.satelliteCount = record.satelliteCount();
    f.altitude = record.altitude();
    f.receiverOn = record.receiverOn();
    f.pulseCount = record.vibrationCode(); // byte 56 carries the engine pulse count
    f.supplyVoltageRaw = record.supplyVoltageRaw();
    f.altitudeReference = record.altitudeReference();
    return f;
}

void CVoiceAnnouncer::applyRecord(const CTelemetryRecord& record)
{
    applyFields(fieldsOf(record));
}

SVoiceSettings loadVoiceSettings(const CSettings& settings)
{
    SVoiceSettings s;
    s.speech = settings.getInt(keys::kSpeech);
    s.format = settings.getInt(keys::kFormat);
    s.rate = settings.getInt(keys::kRate);
    s.volume = settings.getInt(keys::kVolume);
    s.high = settings.getInt(keys::kHigh);
    s.zhuanSu = settings.getInt(keys::kZhuanSu);
    s.feiKong = settings.getInt(keys::kFeiKong);
    s.rcState = settings.getInt(keys::kRcState);
    s.umState = settings.getInt(keys::kUmState);
    s.zhuanSuState = settings.getInt(keys::kZhuanSuState);
    s.gpsStarState = settings.getInt(keys::kGpsStarState);
    s.highState = settings.getInt(keys::kHighState);
    s.linkState = settings.getInt(keys::kVoiceLinkState);
    s.lowVoltageV = settings.getReal(keys::kLowVoltage);
    s.fenPin = settings.getInt(keys::kFenPin);
    if (s.fenPin < 1)
        s.fenPin = 1;
    return s;
}

} // namespace orvex
