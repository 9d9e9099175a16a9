#include "options/WayPointOptionValues.h"

#include "base/Format.h"

namespace orvex {

const std::array<SWayPointFieldInfo, kWayPointFieldCount>& wayPointFields()
{
    static const std::array<SWayPointFieldInfo, kWayPointFieldCount> fields{{
        {EWayPointField::Altitude, &keys::kAltitude, true, 5, 10000, false},
        {EWayPointField::AltitudeGps, &keys::kAltitudeGps, false, 0, 0, false},
        {EWayPointField::Speed, &keys::kSpeed, true, 5, 1000, true},
        {EWayPointField::ZhuanWanLiang, &keys::kZhuanWanLiang, true, 0, 65535, true},
        {EWayPointField::ZhiShiHangXian, &keys::kZhiShiHangXian, true, 0, 255, true},
        {EWayPointField::ZhiShiShiJian, &keys::kZhiShiShiJian, true, 0, 65535, true},
        {EWayPointField::ZhiXingDuoJi, &keys::kZhiXingDuoJi, true, 0, 65535, true},
        {EWayPointField::DelayTime, &keys::kDelayTime, true, 0, 255, true},
        {EWayPointField::RepeatTime, &keys::kRepeatTime, false, 0, 0, true},
        {EWayPointField::FenPin, &keys::kFenPin, true, 1, 8, true},
    }};
    return fields;
}

CWayPointOptionValues CWayPointOptionValues::load(const CSettings& settings)
{
    CWayPointOptionValues d;
    for (const SWayPointFieldInfo& f : wayPointFields())
        d.setValue(f.field, settings.getInt(*f.key));
    // The time field is not read: it starts at 0.
    d.setValue(EWayPointField::ZhiShiShiJian, 0);
    // A stored FenPin outside the list would leave the (hidden) list without a selection and the
    // page could never be applied again; such a value shows as "1".
    const long long fenPin = d.value(EWayPointField::FenPin);
    if (fenPin < 1 || fenPin > kFenPinChoices)
        d.setValue(EWayPointField::FenPin, 1);
    return d;
}

std::optional<EWayPointField> CWayPointOptionValues::firstInvalid() const
{
    for (const SWayPointFieldInfo& f : wayPointFields()) {
        const long long v = value(f.field);
        if (f.hasRange && (v < f.min || v > f.max))
            return f.field;
    }
    return std::nullopt;
}

std::string CWayPointOptionValues::rangeMessage(EWayPointField field)
{
    const SWayPointFieldInfo& f = wayPointFields()[static_cast<std::size_t>(field)];
    return strprintf("请输入一个介于 %lld 和 %lld 之间的整数。", f.min, f.max);
}

bool CWayPointOptionValues::save(CSettings& settings) const
{
    bool ok = true;
    for (const SWayPointFieldInfo& f : wayPointFields())
        ok = settings.setInt(*f.key, value(f.field)) && ok;
    return ok;
}

} // namespace orvex
