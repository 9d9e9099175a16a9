#pragma once
// The settings file Korva.ini: every section, key and default lives here, and CSettings reads
// and writes them with the Windows profile semantics (see IniFile.h).
//
// Value types:
//  - integers: written as decimal text; read like the Windows profile integer function
//    (blanks, an optional sign, then decimal digits, or "0x" and hex digits; reading stops at the
//    first other character; a value without any digit reads as 0; a missing key or an empty
//    value gives the key's default);
//  - text: the trimmed value; missing gives the default;
//  - binary: two capital letters per byte, "A" + low nibble then "A" + high nibble (0x3C is
//    "MD"); a value of odd length or with any other character reads as missing.
//
// Every read opens the file afresh (the file is small), so two programs sharing one home
// directory see each other's writes. Every write rewrites the file atomically.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;
};

namespace orvex::keys {

// [Options]
inline constexpr SettingKey kPosition{"Options", "Position", ""};       // binary, 16 bytes: window rectangle, four LE i32
inline constexpr SettingKey kLastMap{"Options", "LastMap", ""};         // text
inline constexpr SettingKey kAddressName{"Options", "AddressName", ""}; // text, entries joined by "~`~"
inline constexpr SettingKey kPlaceMark{"Options", "PlaceMark", ""};     // text, entries joined by "~`~"
// text: the folder the route file dialogs and the replay dialog were last used in (empty: their
// own folders "routes" and "Hj" in the home directory).
inline constexpr SettingKey kRouteFolder{"Options", "RouteFolder", ""};
inline constexpr SettingKey kReplayFolder{"Options", "ReplayFolder", ""};

// [Settings]
inline constexpr SettingKey kComPort{"Settings", "COMPORT", "COM1"}; // text, serial port name
inline constexpr SettingKey kComConf{"Settings", "COMCONF", ""};     // binary, up to 52 bytes
// text: IPv4 address of the airborne WiFi module (remote UDP port 55555). The default is the
// usual address of a WiFi module in access-point mode.
inline constexpr SettingKey kWifiAddress{"Settings", "WifiAddress", "192.168.4.1"};

// [WayPoint] (integers)
inline constexpr SettingKey kAltitudeGps{"WayPoint", "AltitudeGPS", "100"};
inline constexpr SettingKey kAltitude{"WayPoint", "Altitude", "500"};
inline constexpr SettingKey kSpeed{"WayPoint", "Speed", "100"};
inline constexpr SettingKey kZhuanWanLiang{"WayPoint", "ZhuanWanLiang", "100"};
inline constexpr SettingKey kZhiShiHangXian{"WayPoint", "ZhiShiHangXian", "100"};
inline constexpr SettingKey kZhiShiShiJian{"WayPoint", "ZhiShiShiJian", "100"};
inline constexpr SettingKey kZhiXingDuoJi{"WayPoint", "ZhiXingDuoJi", "100"};
inline constexpr SettingKey kDelayTime{"WayPoint", "DelayTime", "100"};
inline constexpr SettingKey kRepeatTime{"WayPoint", "RepeatTime", "100"};
inline constexpr SettingKey kFenPin{"WayPoint", "FenPin", "1"};

// [Voice] (integers)
inline constexpr SettingKey kSpeech{"Voice", "Speech", "0"};
inline constexpr SettingKey kFormat{"Voice", "Format", "0"};
inline constexpr SettingKey kRate{"Voice", "Rate", "0"};
inline constexpr SettingKey kHigh{"Voice", "High", "0"};
inline constexpr SettingKey kZhuanSu{"Voice", "ZhuanSu", "0"};
inline constexpr SettingKey kFeiKong{"Voice", "FeiKong", "0"};
inline constexpr SettingKey kRcState{"Voice", "RCState", "0"};
inline constexpr SettingKey kUmState{"Voice", "UmState", "0"};
inline constexpr SettingKey kZhuanSuState{"Voice", "ZhuanSuState", "0"};
inline constexpr SettingKey kGpsStarState{"Voice", "GpsStarState", "0"};
inline constexpr SettingKey kHighState{"Voice", "HighState", "0"};
inline constexpr SettingKey kVolume{"Voice", "Volume", "50"};
// decimal text, volts: the autopilot-voltage announcement ("FeiKong" interval) speaks only while
// the flight controller's supply is below this. 4.5 V warns of a sagging 5 V supply rail.
inline constexpr SettingKey kLowVoltage{"Voice", "LowVolt", "4.5"};

// Every key above, in file order (for listings and tests).
inline constexpr std::array<const SettingKey*, 32> kAll{
    &kPosition, &kLastMap, &kAddressName, &kPlaceMark, &kRouteFolder, &kReplayFolder, &kComPort, &kComConf,
    &kWifiAddress,
    &kAltitudeGps, &kAltitude, &kSpeed, &kZhuanWanLiang, &kZhiShiHangXian, &kZhiShiShiJian,
    &kZhiXingDuoJi, &kDelayTime, &kRepeatTime, &kFenPin, &kSpeech, &kFormat, &kRate, &kHigh,
    &kZhuanSu, &kFeiKong, &kRcState, &kUmState, &kZhuanSuState, &kGpsStarState, &kHighState,
    &kVolume, &kLowVoltage};

} // namespace orvex::keys

namespace orvex {

class CSettings {
public:
    explicit CSettings(std::string iniPath);

    int getInt(const SettingKey& key) const;
    std::string getText(const SettingKey& key) const;
    // A decimal number with a point (for kLowVoltage); a value that is not a number gives the
    // key's default.
    double getReal(const SettingKey& key) const;
    std::optional<std::vector<uint8_t>> getBinary(const SettingKey& key) const;

    // Each returns false when the file could not be written (it is then left as it was).
    bool setInt(const SettingKey& key, long long value);
    bool setText(const SettingKey& key, std::string_view value);
    bool setBinary(const SettingKey& key, std::span<const uint8_t> bytes);

    const std::string& path() const { return m_path; }

    // The profile integer reading of one value text; `fallback` for an empty text.
    static int parseProfileInt(std::string_view text, int fallback);
    // The two-letters-per-byte encoding.
    static std::string encodeBinary(std::span<const uint8_t> bytes);
    static std::optional<std::vector<uint8_t>> decodeBinary(std::string_view text);

private:
    std::optional<std::string> raw(const SettingKey& key) const;
    bool write(const SettingKey& key, std::string_view value);

    std::string m_path;
};

} // namespace orvex
