#include "app/config/ConfigAttach.h"

#include <QPointer>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/config/CompassCalibDlg.h"
#include "app/config/CustomParamDlg.h"
#include "app/config/ParamSetDlg.h"
#include "app/mainframe/MainFrame.h"

namespace orvex {

namespace {

// Runs a configuration dialog modally with its open flag set; the flag is cleared when the modal
// loop returns, whatever ended it. The dialog is built fresh for every opening.
template <typename Dialog> void runModal(CMainFrame* frame, CGroundStation& station, bool& openFlag)
{
    Dialog dialog(station, frame);
    openFlag = true;
    struct SClear {
        bool& flag;
        ~SClear() { flag = false; }
    } clear{openFlag};
    dialog.exec();
}

} // namespace

void attachConfiguration(CMainFrame& frame, CGroundStation& station, CCommandTable& commands)
{
    QPointer<CMainFrame> parent(&frame);
    CGroundStation* s = &station;

    const auto calibration = [parent, s](ECalibrationCommand command) {
        return [parent, s, command] {
            const YesNoQuestion ask = [parent](std::string_view question, bool defaultYes) {
                return askYesNoWithoutIcon(parent.data(),
                                           QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                                           {}, defaultYes);
            };
            runCalibrationCommand(command, ask, s->uplink(), s->airborne());
        };
    };
    commands.setHandler(cmd::kGyroZero, calibration(ECalibrationCommand::GyroZero));
    commands.setHandler(cmd::kCaptureNeutral, calibration(ECalibrationCommand::CaptureNeutral));
    commands.setHandler(cmd::kCalibrateChannels, calibration(ECalibrationCommand::CalibrateChannels));
    commands.setHandler(cmd::kSmallCalibration, calibration(ECalibrationCommand::SmallCalibration));
    commands.setHandler(cmd::kCaptureRoll, calibration(ECalibrationCommand::CaptureRoll));
    commands.setHandler(cmd::kCapturePitch, calibration(ECalibrationCommand::CapturePitch));

    commands.setHandler(cmd::kParameters,
                        [parent, s] { runModal<CParamSetDlg>(parent.data(), *s, s->parameterDialogOpen); });
    commands.setHandler(cmd::kCustomParameters,
                        [parent, s] { runModal<CCustomParamDlg>(parent.data(), *s, s->customParameterDialogOpen); });
    commands.setHandler(cmd::kCompass,
                        [parent, s] { runModal<CCompassCalibDlg>(parent.data(), *s, s->compassDialogOpen); });
}

} // namespace orvex
