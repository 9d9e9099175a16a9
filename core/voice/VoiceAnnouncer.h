#pragma once
// Spoken alarms: the voice announcer watches every applied telemetry record for changes the
// operator must hear (remote control and parachute state, satellite loss, engine stop, preset
// altitude reached or lost) and, ticked once a second, speaks the altitude, engine speed and a
// low autopilot voltage at the intervals chosen in the settings file.

#include <cstdint>
#include <string>

#include "voice/SpeechEngine.h"

namespace orvex {

class CTelemetryRecord;
class CSettings;

// Low-voltage threshold used when the settings file does not name one, in volts. The autopilot
// supply reads about 5 V; below 4.5 V the board is close to its brown-out.
constexpr double kDefaultLowVoltageV = 4.5;

// Everything the announcer reads from the settings file.
struct SVoiceSettings {
    int speech = 0;       // `Voice`/`Speech`: voice index
    int format = 0;       // `Voice`/`Format`: output format code
    int rate = 0;         // `Voice`/`Rate`
    int volume = 50;      // `Voice`/`Volume`
    int high = 0;         // `Voice`/`High`: altitude interval, units of 5 s; 0 = off
    int zhuanSu = 0;      // `Voice`/`ZhuanSu`: engine-speed interval, units of 5 s; 0 = off
    int feiKong = 0;      // `Voice`/`FeiKong`: voltage interval, units of 5 s; 0 = off
    int rcState = 0;      // `Voice`/`RCState`: 1 = announce remote-control changes
    int umState = 0;      // `Voice`/`UmState`: 1 = announce parachute changes
    int zhuanSuState = 0; // `Voice`/`ZhuanSuState`: 1 = announce an engine stop
    int gpsStarState = 0; // `Voice`/`GpsStarState`: 1 = announce a satellite loss
    int highState = 0;    // `Voice`/`HighState`: 1 = announce preset altitude reached / lower
    int linkState = 1;    // `Voice`/`LinkState`: 1 = announce a data link lost / restored
    double lowVoltageV = kDefaultLowVoltageV; // voltage announcements only below this
    int fenPin = 1;       // `WayPoint`/`FenPin`: engine pulses per revolution; below 1 counts as 1
};

// The values of one telemetry record that the announcer uses.
struct SVoiceRecordFields {
    int satelliteCount = 0;     // `satelliteCount`
    int altitude = 0;           // `altitude`, 0.1 m, signed
    int receiverOn = 0;         // `receiverOn`: state byte (0, 1, 11 and others)
    int pulseCount = 0;         // byte 56 (`vibrationCode`), taken as the engine pulse count
    int supplyVoltageRaw = 0;   // `supplyVoltageRaw`, 5/1024 V per count
    int altitudeReference = 0;  // `altitudeReference`: preset altitude, 0.1 m
};

class CVoiceAnnouncer {
public:
    // Phrases and events, as handed to the engine (the leading comma and blanks included).
    static constexpr const char* kRcDisable = ",RC Disable";
    static constexpr const char* kRcAble = ",RC Able";
    static constexpr const char* kParachuteDisable = ",Parachute Disable";
    static constexpr const char* kParachuteAble = ",Parachute Able";
    static constexpr const char* kSatellitesFormat = ",GPS Satellites is %d";
    static constexpr const char* kEngineOff = ",Engine Off";
    static constexpr const char* kAltitudeLower = ",Altitude Lower";
    static constexpr const char* kArrivePresetAltitude = ",Arrive Preset Altitude";
    static constexpr const char* kAltitudeFormat = ", Altitude is %d";
    static constexpr const char* kAltitudeMinusFormat = ", Altitude is Minus %d";
    static constexpr const char* kRpmFormat = ",RPM is %d";
    static constexpr const char* kVoltFormat = "AP Volt Is %.1f";
    static constexpr const char* kDataLinkLost = ", data link lost";
    static constexpr const char* kDataLinkRestored = ", data link restored";

    static constexpr int kEventCostTicks = 5;
    static constexpr int kIntervalUnitTicks = 5;
    static constexpr int kSatelliteFloor = 5;
    static constexpr int kEngineRunningRpm = 100;
    static constexpr int kPresetBand = 15; // 1.5 m in the record's 0.1 m
    static constexpr double kVoltsPerCount = 0.0048828125; // 5/1024

    // The engine is not owned; null means no engine (silent).
    explicit CVoiceAnnouncer(ISpeechEngine* engine = nullptr);

    void setEngine(ISpeechEngine* engine) { engine_ = engine; }
    ISpeechEngine* engine() const { return engine_; }

    // The engine-speed divisor (`WayPoint`/`FenPin`) can change while the program runs (the
    // waypoint options page); values below 1 count as 1.
    void setFenPin(int fenPin) { settings_.fenPin = fenPin < 1 ? 1 : fenPin; }

    // Start-up: keeps the settings and configures the engine (voice, format, volume, rate).
    void initialise(const SVoiceSettings& settings);

    // Called for every applied record (live or replayed), in order.
    void applyRecord(const CTelemetryRecord& record);
    void applyFields(const SVoiceRecordFields& fields);

    // Called once a second (the main frame's timer 3).
    void tick();
    // The live link was lost (true) or restored (false): said once, after the beep.
    void linkStateChanged(bool lost);

    const SVoiceSettings& settings() const { return settings_; }
    int tickCounter() const { return tickCounter_; }
    bool recordSeen() const { return recordSeen_; }
    double autopilotVoltage() const { return autopilotVoltageV_; }
    int lastEngineSpeed() const { return lastEngineSpeedRpm_; }
    int lastAltitude() const { return lastAltitude_; }

    static SVoiceRecordFields fieldsOf(const CTelemetryRecord& record);

private:
    bool active() const;
    void speak(const std::string& text);
    void alert(const std::string& text, int repeats);
    static bool isIntervalDue(int counter, int intervalUnits);

    ISpeechEngine* engine_ = nullptr;
    SVoiceSettings settings_;
    double autopilotVoltageV_ = 0.0;
    int lastRcState_ = 0;
    int lastParachuteState_ = 0;
    int lastSatelliteCount_ = 0;
    int lastEngineSpeedRpm_ = 0;
    int lastAltitude_ = 0;
    bool presetReached_ = false;
    bool lowerWarned_ = false;
    int tickCounter_ = 0;
    bool recordSeen_ = false;
};

// Reads the `Voice` section (and `WayPoint`/`FenPin`) from the settings file, with the defaults
// for missing keys.
SVoiceSettings loadVoiceSettings(const CSettings& settings);

} // namespace orvex
