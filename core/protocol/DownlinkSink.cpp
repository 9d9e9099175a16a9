#include "protocol/DownlinkSink.h"

#include "base/Format.h"

namespace orvex {

namespace {

struct SAckText {
    std::string_view keyword;
    std::string_view message;
};

constexpr SAckText kAckTexts[] = {
    {"$DOYMM", "小斯采集俯仰成功！"},
    {"$DOYMA", "小斯采集横滚成功！"},
    {"$DOYMS", "THR Hold Position captured successfully"},
    {"$DOCAP", " Neutral Position captured successfully"},
    {"$DOCUT", "GIMBALTilt Start captured successfully"},
    {"$DOCNC", "GIMBALTilt End captured successfully"},
    {"$DOCAG", "Parachute close position captured successfully"},
    {"$DOCKA", "Parachute open  position captured successfully"},
    {"$DOCS1", "GIMBALPAN Start Point captured successfully"},
    {"$DOCS2", "GIMBALPAN End Point captured successfully"},
    {"$DOCS3", "More Options captured successfully"},
    {"$T2POK", "AP parameter updateed successfully!!!"},
    {"$SATEL", "当前GPS已有效定位，可以进行姿态对准了，启动请按YES，稍后请按NO"},
    {"$STSAT", "姿态对准已经启动，请保持飞机加速度不动，并保持到姿态角显示出来为止，整个过程大约10秒"},
};

constexpr std::string_view kNeutralCapturedOnUdp = " 中位捕获成功";

} // namespace

std::string_view acknowledgementKeyword(EAcknowledgement kind)
{
    return kAckTexts[static_cast<int>(kind)].keyword;
}

std::string_view acknowledgementMessage(EAcknowledgement kind, EDownlinkLink link)
{
    if (kind == EAcknowledgement::DOCAP && link == EDownlinkLink::Udp)
        return kNeutralCapturedOnUdp;
    return kAckTexts[static_cast<int>(kind)].message;
}

std::string_view compassCalibrationStateText(uint8_t state)
{
    switch (state) {
    case 'W':
        return "水平校准模式";
    case 'X':
        return "垂直校准模式";
    case 0:
        return "保存成功";
    default:
        return {};
    }
}

float SPhotoReport::angleDegrees() const
{
    return static_cast<float>(angleRadians * 57.295780490442965);
}

std::string photoDataLine(const SPhotoReport& r)
{
    return strprintf("%3d %11.6f %10.6f %3d %.1f %.1f %4.1f %5.1f\n", static_cast<int>(r.pictureNumber),
                     static_cast<double>(r.longitude), static_cast<double>(r.latitude), static_cast<int>(r.integerField),
                     static_cast<double>(r.value19), static_cast<double>(r.value23),
                     static_cast<double>(r.angleDegrees()), static_cast<double>(r.value31));
}

const char* dropReasonName(EDropReason reason)
{
    switch (reason) {
    case EDropReason::NoiseBeforeHead:
        return "noise";
    case EDropReason::UnknownKeyword:
        return "unknown keyword";
    case EDropReason::BadChecksum:
        return "bad checksum";
    case EDropReason::Overflow:
        return "overflow";
    case EDropReason::WifiInactive:
        return "wifi inactive";
    }
    return "?";
}

} // namespace orvex
