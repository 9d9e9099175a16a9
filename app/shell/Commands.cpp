#include "app/shell/Commands.h"

namespace orvex {

const std::vector<SCommandInfo>& commandCatalogue()
{
    static const std::vector<SCommandInfo> catalogue{
        {cmd::kToolRestore, "恢复", nullptr, false},
        {cmd::kToolDragMap, "拖动地图", nullptr, false},
        {cmd::kToolZoomIn, "放大地图", nullptr, false},
        {cmd::kToolZoomOut, "缩小地图", nullptr, false},
        {cmd::kToolMeasure, "测距", nullptr, true},
        {cmd::kToolPlanRoute, "规划航线", nullptr, true},
        {cmd::kToolPlaceMark, "标注", nullptr, true},
        {cmd::kOpenSerial, "打开串口(&R)", "F2", false},
        {cmd::kReplay, "轨迹回放(&T)", nullptr, false},
        {cmd::kLocateAircraft, "定位飞机(&C)", nullptr, false},
        {cmd::kOptions, "选项(&O)", nullptr, false},
        {cmd::kLoadRoute, "加载航线(&L)", nullptr, false},
        {cmd::kEditRoute, "编辑航线(&E)", nullptr, false},
        {cmd::kUploadRoute, "上传航线(&U)", nullptr, false},
        {cmd::kFlightDataBar, "飞行数据(&F)", nullptr, true},
        {cmd::kVerifyRoute, "验证航线(&R)", nullptr, false},
        {cmd::kCloseLink, "关闭连接(&C)", nullptr, false},
        {cmd::kDeleteRoute, "删除航线(&D)", nullptr, false},
        {cmd::kEraseRouteMarks, "擦除航线", nullptr, false},
        {cmd::kMapWaypointUpload, "上传", nullptr, false},
        {cmd::kMapWaypointDelete, "删除", nullptr, false},
        {cmd::kMapPlaceMarkDelete, "删除", nullptr, false},
        {cmd::kMapWaypointEdit, "编辑", nullptr, false},
        {cmd::kInstrumentBar, "仪表板(&K)", nullptr, true},
        {cmd::kRouteExtend, "航线延伸", nullptr, true},
        {cmd::kAltitudeMode, "高度模式", nullptr, true},
        {cmd::kNavigationBar, "位置导航(&P)", nullptr, true},
        {cmd::kSaveRoute, "保存航线(&L)", nullptr, false},
        {cmd::kLookStraightDown, "正视地图", nullptr, false},
        {cmd::kMoveRoute, "移动航线", nullptr, true},
        {cmd::kLocationSearch, "位置搜索(&G)", nullptr, false},
        {cmd::kDownloadOfflineMap, "下载离线地图", nullptr, false},
        {cmd::kGyroZero, "陀螺清零(&Z)", nullptr, false},
        {cmd::kCaptureNeutral, "捕获中位(&N)", nullptr, false},
        {cmd::kCalibrateChannels, "校准通道(&C)", nullptr, false},
        {cmd::kCompass, "磁罗盘(&M)", nullptr, false},
        {cmd::kParameters, "参数(&P)", nullptr, false},
        {cmd::kCustomParameters, "自定义参数(&E)", nullptr, false},
        {cmd::kOpenWifi, "打开Wifi(&W)", nullptr, false},
        {cmd::kSmallCalibration, "小斯校准", nullptr, false},
        {cmd::kCaptureRoll, "采集横滚", nullptr, false},
        {cmd::kCapturePitch, "采集俯仰", nullptr, false},
        {cmd::kAbout, "关于 (&A)...", nullptr, false},
        {cmd::kExit, "退出(&X)", nullptr, false},
        {cmd::kToolBar, "工具栏(&T)", nullptr, true},
        {cmd::kStatusBar, "状态栏(&S)", nullptr, true},
        {cmd::kPlaybackBar, "回放栏(&B)", nullptr, true},
    };
    return catalogue;
}

CCommandTable::CCommandTable(QObject* parent) : QObject(parent)
{
    for (const SCommandInfo& info : commandCatalogue()) {
        auto* action = new QAction(QString::fromUtf8(info.label), this);
        action->setData(info.id);
        action->setCheckable(info.checkable);
        if (info.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(info.shortcut)));
        action->setEnabled(false);
        const int id = info.id;
        // triggered() toggles a checkable action by itself; the check rule sets it right again.
        connect(action, &QAction::triggered, this, [this, id] { execute(id); });
        m_entries[id].action = action;
    }
}

void CCommandTable::setHandler(int id, std::function<void()> handler)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    it->handler = std::move(handler);
    updateActions();
}

void CCommandTable::setEnabledRule(int id, std::function<bool()> rule)
{
    auto it = m_entries.find(id);
    if (it != m_entries.end())
        it->enabled = std::move(rule);
}

void CCommandTable::setCheckedRule(int id, std::function<bool()> rule)
{
    auto it = m_entries.find(id);
    if (it != m_entries.end())
        it->checked = std::move(rule);
}

bool CCommandTable::hasHandler(int id) const
{
    auto it = m_entries.constFind(id);
    return it != m_entries.constEnd() && it->handler;
}

bool CCommandTable::isEnabled(int id) const
{
    auto it = m_entries.constFind(id);
    if (it == m_entries.constEnd() || !it->handler)
        return false;
    return !it->enabled || it->enabled();
}

bool CCommandTable::isChecked(int id) const
{
    auto it = m_entries.constFind(id);
    return it != m_entries.constEnd() && it->checked && it->checked();
}

bool CCommandTable::execute(int id)
{
    if (!isEnabled(id))
        return false;
    return invoke(id);
}

bool CCommandTable::invoke(int id)
{
    if (!hasHandler(id))
        return false;
    // Copy: a handler may replace itself.
    const std::function<void()> handler = m_entries.value(id).handler;
    handler();
    updateActions();
    emit commandExecuted(id);
    return true;
}

QAction* CCommandTable::action(int id) const
{
    auto it = m_entries.constFind(id);
    return it == m_entries.constEnd() ? nullptr : it->action;
}

void CCommandTable::updateActions()
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        it->action->setEnabled(isEnabled(it.key()));
        if (it->action->isCheckable())
            it->action->setChecked(it->checked && it->checked());
    }
}

} // namespace orvex
