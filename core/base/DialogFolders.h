#pragma once
// Where the program's file dialogs open. Routes and flight logs keep to their own folders under
// the home directory ("routes/" and "Hj/"), and each dialog remembers the folder it was last used
// in (Options/RouteFolder, Options/ReplayFolder in Korva.ini), so that saving a route after a
// replay does not land it among the flight logs.

#include <string>

namespace orvex {

class CAppPaths;
class CSettings;

enum class EFileDialog {
    Route,  // "加载航线(&L)", "保存航线(&L)" and the route editor's "加载" / "保存"
    Replay, // "轨迹回放(&T)"
};

// The folder the dialog opens in (ending in "/"): the remembered one while it still exists,
// otherwise the dialog's own folder under the home directory, created when missing.
std::string fileDialogFolder(const CAppPaths& paths, const CSettings& settings, EFileDialog dialog);
// Remembers the folder of the file chosen in the dialog.
void rememberFileDialogChoice(CSettings& settings, EFileDialog dialog, const std::string& chosenFile);

} // namespace orvex
