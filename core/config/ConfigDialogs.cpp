#include "config/ConfigDialogs.h"

#include "base/Format.h"

namespace orvex {

// ------------------------------------------------------------------ compass calibration

void CCompassCalibration::append(std::vector<SCalibrationPoint>& list, SCalibrationPoint p)
{
    if (list.size() >= kMaxPointsPerList)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kMaxPointsPerList / 10));
    list.push_back(p);
}

std::string CCompassCalibration::addPoint(const SCompassPoint& point)
{
    if (point.sumOk) {
        if (point.plane == ECompassPlane::XY)
            append(m_xy, {point.first, point.second});
        else
            append(m_zy, {point.second, point.first});
    }
    return countText();
}

bool CCompassCalibration::setCalibration(const SCompassCalibration& calibration)
{
    if (!calibration.sumOk)
        return false;
    m_values = calibration.values;
    return true;
}

std::string CCompassCalibration::countText() const
{
    return strprintf("XY=%d  ZY=%d", static_cast<int>(m_xy.size()), static_cast<int>(m_zy.size()));
}

std::string compassStatusText(uint8_t state)
{
    return std::string(compassCalibrationStateText(state));
}

// ------------------------------------------------------------------ downlink routing

void CConfigDialogs::onParameterValues(const SParameterValues& values, EDownlinkLink /*link*/)
{
    if (m_parameterOpen && m_parameterView)
        m_parameterView->showParameterValues(values);
    if (m_compassOpen && m_compassView)
        m_compassView->showCompassStatus(compassStatusText(values.compassCalibrationState()));
}

void CConfigDialogs::onCompassPoint(const SCompassPoint& point, EDownlinkLink /*link*/)
{
    if (!m_compassOpen)
        return;
    const std::string text = m_compass.addPoint(point);
    if (!m_compassView)
        return;
    m_compassView->showCompassStatus(text);
    if (point.sumOk)
        m_compassView->compassPlotChanged();
}

void CConfigDialogs::onCompassCalibration(const SCompassCalibration& calibration)
{
    if (!m_compassOpen)
        return;
    if (m_compass.setCalibration(calibration) && m_compassView)
        m_compassView->compassPlotChanged();
}

void CConfigDialogs::onCustomParameters(const SCustomParameters& parameters, EDownlinkLink /*link*/)
{
    if (m_customOpen && m_customView)
        m_customView->showCustomParameters(parameters);
}

// ------------------------------------------------------------------ calibration commands

std::string_view calibrationQuestion(ECalibrationCommand command)
{
    switch (command) {
    case ECalibrationCommand::GyroZero:
        return "陀螺清零?";
    case ECalibrationCommand::CaptureNeutral:
        return "捕获中位?";
    case ECalibrationCommand::CalibrateChannels:
        return "校准通道?";
    case ECalibrationCommand::SmallCalibration:
        return "小斯校准?";
    case ECalibrationCommand::CaptureRoll:
    case ECalibrationCommand::CapturePitch:
        return {};
    }
    return {};
}

uint8_t calibrationCode(ECalibrationCommand command)
{
    switch (command) {
    case ECalibrationCommand::GyroZero:
        return kCommandGyroZero;
    case ECalibrationCommand::CaptureNeutral:
        return kCommandCaptureNeutral;
    case ECalibrationCommand::CalibrateChannels:
        return kCommandCalibrateChannels;
    case ECalibrationCommand::SmallCalibration:
        return kCommandLevelCalibration;
    case ECalibrationCommand::CaptureRoll:
        return kCommandCaptureRoll;
    case ECalibrationCommand::CapturePitch:
        return kCommandCapturePitch;
    }
    return 0;
}

bool confirmWhileAirborne(bool airborne, const YesNoQuestion& ask)
{
    return !airborne || (ask && ask(kAirborneQuestion, false));
}

bool runCalibrationCommand(ECalibrationCommand command, const YesNoQuestion& ask, CUplinkRouter& uplink,
                           bool airborne)
{
    if (!confirmWhileAirborne(airborne, ask))
        return false;
    const std::string_view question = calibrationQuestion(command);
    if (!question.empty() && !(ask && ask(question, true)))
        return false;
    const uplink::Frame frame = uplink::commandCode(calibrationCode(command));
    uplink.sendOnBothLinks(frame);
    return true;
}

} // namespace orvex
