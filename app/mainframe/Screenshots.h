#pragma once
// A look at the program without an operator: "--screenshot DIR" saves pictures of the main window
// (as started and with every bar shown), its menus, the options sheet's two pages, the about box and
// the splash picture as PNG files in DIR, then ends the program. Used to check the layout and the
// Chinese texts on a machine without a screen (under Xvfb).

#include <QString>

namespace orvex {

class CGroundStation;
class CMainFrame;

// Returns the number of pictures written.
int saveScreenshots(CMainFrame& frame, CGroundStation& station, const QString& dir);

} // namespace orvex
