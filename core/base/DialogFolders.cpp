#include "base/DialogFolders.h"

#include <filesystem>
#include <system_error>

#include "base/AppPaths.h"
#include "base/Settings.h"

namespace orvex {

namespace {

const SettingKey& folderKey(EFileDialog dialog)
{
    return dialog == EFileDialog::Route ? keys::kRouteFolder : keys::kReplayFolder;
}

std::string withSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

} // namespace

std::string fileDialogFolder(const CAppPaths& paths, const CSettings& settings, EFileDialog dialog)
{
    std::error_code ec;
    const std::string remembered = settings.getText(folderKey(dialog));
    if (!remembered.empty() && std::filesystem::is_directory(remembered, ec))
        return withSlash(remembered);
    const std::string own = dialog == EFileDialog::Route ? paths.routeDir() : paths.flightLogDir();
    std::filesystem::create_directories(own, ec);
    return own;
}

void rememberFileDialogChoice(CSettings& settings, EFileDialog dialog, const std::string& chosenFile)
{
    const std::filesystem::path folder = std::filesystem::path(chosenFile).parent_path();
    if (!folder.empty())
        settings.setText(folderKey(dialog), folder.string());
}

} // namespace orvex
