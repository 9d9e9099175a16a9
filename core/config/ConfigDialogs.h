#pragma once
// The flight-controller configuration side of the ground station, without windows:
//
//   CCompassCalibration  the compass calibration's state for the whole run: the XY and ZY point
//                        lists, the calibration values c0..c4, the status texts.
//   CConfigDialogs       the downlink sink of the three reply-driven dialogs. A "$PAR", "$PUR" or
//                        compass frame reaches a dialog only while that dialog's open flag is set
//                        (the flags are CGroundStation's); otherwise it is consumed without effect.
//   calibration commands the "飞控设置(&S)" menu items that send one command code, with their
//                        questions.
//
// The dialogs attach themselves as views while they exist; a view that is not attached simply
// misses the update (the state of the compass calibration is kept all the same).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "panels/InstrumentGeometry.h"
#include "protocol/DownlinkSink.h"
#include "protocol/TelemetryRecord.h"
#include "protocol/Uplink.h"

namespace orvex {

// Delays between a step and the parameter request that reads its result back.
inline constexpr int kCompassRequestDelayMs = 500;      // after each compass step
inline constexpr int kDefaultResetRequestDelayMs = 200; // after "$HFMR"

// ------------------------------------------------------------------ compass calibration

class CCompassCalibration {
public:
    // Each list is kept below this many points: past it the oldest tenth is dropped, so a link
    // that streams points for hours cannot exhaust memory or make every repaint crawl.
    static constexpr std::size_t kMaxPointsPerList = 100000;

    // A "$MG2" / "$MG3" point: appended when its sum matched ((first, second) to the XY list for
    // "$MG2", (second, first) to the ZY list for "$MG3"). Returns the count text either way.
    std::string addPoint(const SCompassPoint& point);
    // "$MG1": the five values become c0..c4 when the sum matched. Returns whether they were stored.
    bool setCalibration(const SCompassCalibration& calibration);
    // "XY=%d  ZY=%d" with the current list lengths.
    std::string countText() const;

    const std::vector<SCalibrationPoint>& xyPoints() const { return m_xy; }
    const std::vector<SCalibrationPoint>& zyPoints() const { return m_zy; }
    const CalibrationValues& values() const { return m_values; }

private:
    static void append(std::vector<SCalibrationPoint>& list, SCalibrationPoint p);

    std::vector<SCalibrationPoint> m_xy;
    std::vector<SCalibrationPoint> m_zy;
    CalibrationValues m_values{};
};

// The status text for a calibration state byte ("$PAR" byte 13): "水平校准模式" for 'W',
// "垂直校准模式" for 'X', "保存成功" for 0, empty otherwise.
std::string compassStatusText(uint8_t state);

// ------------------------------------------------------------------ dialog views

class IParameterDialogView {
public:
    virtual ~IParameterDialogView() = default;
    virtual void showParameterValues(const SParameterValues& values) = 0;
};

class ICustomParameterDialogView {
public:
    virtual ~ICustomParameterDialogView() = default;
    virtual void showCustomParameters(const SCustomParameters& parameters) = 0;
};

class ICompassDialogView {
public:
    virtual ~ICompassDialogView() = default;
    virtual void showCompassStatus(const std::string& text) = 0;
    // A point was stored or the calibration values changed: the plot shows the new state.
    virtual void compassPlotChanged() = 0;
};

// ------------------------------------------------------------------ downlink routing

class CConfigDialogs : public IDownlinkSink {
public:
    // The open flags are read at every frame; they belong to the caller and must outlive this.
    CConfigDialogs(const bool& parameterOpen, const bool& customOpen, const bool& compassOpen)
        : m_parameterOpen(parameterOpen), m_customOpen(customOpen), m_compassOpen(compassOpen)
    {
    }

    void setParameterView(IParameterDialogView* view) { m_parameterView = view; }
    void setCustomParameterView(ICustomParameterDialogView* view) { m_customView = view; }
    void setCompassView(ICompassDialogView* view) { m_compassView = view; }
    IParameterDialogView* parameterView() const { return m_parameterView; }
    ICustomParameterDialogView* customParameterView() const { return m_customView; }
    ICompassDialogView* compassView() const { return m_compassView; }

    CCompassCalibration& compass() { return m_compass; }
    const CCompassCalibration& compass() const { return m_compass; }

    // IDownlinkSink
    void onParameterValues(const SParameterValues& values, EDownlinkLink link) override;
    void onCompassPoint(const SCompassPoint& point, EDownlinkLink link) override;
    void onCompassCalibration(const SCompassCalibration& calibration) override;
    void onCustomParameters(const SCustomParameters& parameters, EDownlinkLink link) override;

private:
    const bool& m_parameterOpen;
    const bool& m_customOpen;
    const bool& m_compassOpen;
    IParameterDialogView* m_parameterView = nullptr;
    ICustomParameterDialogView* m_customView = nullptr;
    ICompassDialogView* m_compassView = nullptr;
    CCompassCalibration m_compass;
};

// ------------------------------------------------------------------ calibration commands

enum class ECalibrationCommand {
    GyroZero,          // "陀螺清零(&Z)"
    CaptureNeutral,    // "捕获中位(&N)"
    CalibrateChannels, // "校准通道(&C)"
    SmallCalibration,  // "小斯校准"
    CaptureRoll,       // "采集横滚"
    CapturePitch,      // "采集俯仰"
};

// The question asked first (a Yes/No box without an icon); empty when the frame goes at once.
std::string_view calibrationQuestion(ECalibrationCommand command);
uint8_t calibrationCode(ECalibrationCommand command);

// Asked before any calibration (the menu commands and the compass steps) while airborne, before
// the command's own question; No is the default button.
inline constexpr std::string_view kAirborneQuestion = "飞机正在飞行，确定要执行吗？";

// The Yes/No question of a configuration command: the text and whether Yes is the default.
using YesNoQuestion = std::function<bool(std::string_view, bool defaultYes)>;
// While airborne: the airborne question (No by default); true when the command may go on.
bool confirmWhileAirborne(bool airborne, const YesNoQuestion& ask);
// Asks the airborne question when `airborne`, then the command's question where there is one and,
// on Yes or without one, sends the command code frame on both links. Returns whether the frame
// was handed to the links.
bool runCalibrationCommand(ECalibrationCommand command, const YesNoQuestion& ask, CUplinkRouter& uplink,
                           bool airborne = false);

} // namespace orvex
