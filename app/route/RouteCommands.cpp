#include "app/route/RouteCommands.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "app/shell/Commands.h"
#include "base/DialogFolders.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/mainframe/MainFrame.h"
#include "app/route/EditWayPointDlg.h"
#include "app/route/SkyWayEditDlg.h"

namespace orvex {

namespace {

std::string localPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::optional<QString> runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QStringList& filters,
                                     const QString& folder)
{
    QFileDialog dialog(parent, QString(), folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("skw"));
    // The save dialog asks before it replaces a file (Qt's default, kept explicit).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

CRouteCommands::CRouteCommands(CGroundStation& station, QWidget* window, QObject* parent)
    : QObject(parent), m_station(station), m_window(window)
{
    m_loadChooser = [this](QWidget* p) { return chooseRouteToLoad(p, routeFolder()); };
    m_saveChooser = [this](QWidget* p) { return chooseRouteToSave(p, routeFolder()); };
}

QString CRouteCommands::routeFolder() const
{
    return QString::fromStdString(fileDialogFolder(m_station.paths(), m_station.settings(), EFileDialog::Route));
}

std::optional<QString> CRouteCommands::chooseRouteToLoad(QWidget* parent, const QString& folder)
{
    return runFileDialog(parent, QFileDialog::AcceptOpen,
                         {QStringLiteral("航迹文件1(*.skw)"), QStringLiteral("航迹文件2(*.rw)")}, folder);
}

std::optional<QString> CRouteCommands::chooseRouteToSave(QWidget* parent, const QString& folder)
{
    return runFileDialog(parent, QFileDialog::AcceptSave, {QStringLiteral("Path File(*.skw)")}, folder);
}

int CRouteCommands::runDialog(QDialog& dialog)
{
    return m_dialogRunner ? m_dialogRunner(dialog) : dialog.exec();
}

bool CRouteCommands::loadRoute(QWidget* parent)
{
    std::optional<std::string> path;
    if (const std::optional<QString> chosen = m_loadChooser(parent ? parent : m_window)) {
        path = localPath(*chosen);
        rememberFileDialogChoice(m_station.settings(), EFileDialog::Route, *path);
    }
    return m_station.routeController().loadCommand(path);
}

bool CRouteCommands::saveRoute(QWidget* parent)
{
    std::optional<std::string> path;
    if (const std::optional<QString> chosen = m_saveChooser(parent ? parent : m_window)) {
        path = localPath(*chosen);
        rememberFileDialogChoice(m_station.settings(), EFileDialog::Route, *path);
    }
    return m_station.routeController().saveCommand(path);
}

void CRouteCommands::deleteRoute()
{
    // A change nobody recorded stays a step of its own, so that undo brings back exactly the
    // route that was deleted.
    emit routeChanged();
    m_station.routeController().deleteCommand();
    emit routeChanged();
}

void CRouteCommands::editRoute(int row)
{
    // One editor at a time (the close question and the map can both ask for it).
    if (m_editorOpen)
        return;
    m_editorOpen = true;
    m_station.setRouteSaved(false);
    emit routeChanged(); // what came before the editor is a step of its own
    {
        CSkyWayEditDlg::SActions actions;
        CSkyWayEditDlg* self = nullptr;
        actions.load = [this, &self] { return loadRoute(self); };
        actions.save = [this, &self] { return saveRoute(self); };
        actions.upload = [this] { uploadRoute(); };
        actions.changed = [this] { emit routeChanged(); };
        CSkyWayEditDlg dialog(m_station.route(), m_station.settings(), std::move(actions), m_window);
        self = &dialog;
        if (row > 0 && m_station.route().validIndex(row))
            dialog.selectRow(row);
        if (auto* frame = qobject_cast<CMainFrame*>(m_window)) {
            connect(frame, &CMainFrame::undoRequested, &dialog, &CSkyWayEditDlg::reload);
            connect(frame, &CMainFrame::redoRequested, &dialog, &CSkyWayEditDlg::reload);
        }
        runDialog(dialog);
    }
    emit routeChanged();
    m_station.routeController().redraw();
    m_editorOpen = false;
}

bool CRouteCommands::uploadRoute()
{
    return m_station.routeController().startUpload();
}

bool CRouteCommands::verifyRoute()
{
    return m_station.routeController().verifyCommand();
}

void CRouteCommands::eraseMarks()
{
    m_station.routeController().eraseMarksCommand();
}

void CRouteCommands::uploadWaypoint(int index)
{
    if (index < 0 || !askYesNo(m_window, QStringLiteral("上传航点 %1 到飞控？").arg(index + 1), {}, false))
        return;
    m_station.routeController().uploadSingleWaypoint(static_cast<size_t>(index));
}

bool CRouteCommands::editWaypoint(int index)
{
    CSkyWay& route = m_station.route();
    if (!route.validIndex(index))
        return false;
    CEditWayPointDlg dialog(route[static_cast<size_t>(index)], m_window, index);
    return runDialog(dialog) == QDialog::Accepted;
}

SRouteMapHooks CRouteCommands::routeMapHooks()
{
    SRouteMapHooks hooks;
    hooks.openRouteEditor = [this](int row) { editRoute(row); };
    hooks.editWaypoint = [this](int index) { return editWaypoint(index); };
    hooks.uploadWaypoint = [this](int index) { uploadWaypoint(index); };
    return hooks;
}

CRouteCommands* attachRoute(CGroundStation& station, CCommandTable& commands, CMainFrame& frame)
{
    auto* route = new CRouteCommands(station, &frame, &frame);
    commands.setHandler(cmd::kLoadRoute, [route] { route->loadRoute(); });
    commands.setHandler(cmd::kSaveRoute, [route] { route->saveRoute(); });
    commands.setHandler(cmd::kDeleteRoute, [route] { route->deleteRoute(); });
    commands.setHandler(cmd::kEditRoute, [route] { route->editRoute(); });
    commands.setHandler(cmd::kUploadRoute, [route] { route->uploadRoute(); });
    commands.setHandler(cmd::kVerifyRoute, [route] { route->verifyRoute(); });
    commands.setHandler(cmd::kEraseRouteMarks, [route] { route->eraseMarks(); });
    // "验证航线(&R)" with no live link open: open the serial port.
    CCommandTable* table = &commands;
    CGroundStation* s = &station;
    station.setSerialLinkOpener([table, s] {
        table->invoke(cmd::kCloseLink);
        table->invoke(cmd::kOpenSerial);
        return s->serialOpen();
    });
    return route;
}

} // namespace orvex
