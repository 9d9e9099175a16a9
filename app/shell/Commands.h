#pragma once
// The command table of the ground station: every menu, toolbar and accelerator command, its id,
// label and the rules that enable and check it, and the handler that runs it.
//
// How a subsystem attaches a command (once, after the main frame exists; see COrvexApp):
//
//     app.commands().setHandler(orvex::cmd::kLoadRoute, [&] { ...load... });
//     app.commands().setEnabledRule(orvex::cmd::kEditRoute, [&] { return route.size() > 0; });  // optional
//     app.commands().setCheckedRule(id, [&] { return ...; });                                   // optional
//
// A command without a handler is present in the menus but disabled. A command whose handler is set
// is enabled unless an enabled rule says otherwise; the rules of the table (link state, route has
// points, bar visible) are installed by COrvexApp and hold for whichever handler is set later.
// Rules are evaluated when a menu opens and on every update pass (updateActions(), run by the main
// frame's idle timer and after every command).

#include <QAction>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace orvex::cmd {

// Map tool commands (toolbar and map menu).
inline constexpr int kToolRestore = 64;    // "恢复"
inline constexpr int kToolDragMap = 65;    // "拖动地图"
inline constexpr int kToolZoomIn = 66;     // "放大地图"
inline constexpr int kToolZoomOut = 67;    // "缩小地图"
inline constexpr int kToolMeasure = 68;    // "测距"
inline constexpr int kToolPlanRoute = 69;  // "规划航线"
inline constexpr int kToolPlaceMark = 70;  // "标注"
inline constexpr int kOpenSerial = 73;     // "打开串口(&R)", F2
inline constexpr int kReplay = 74;         // "轨迹回放(&T)"
inline constexpr int kLocateAircraft = 75; // "定位飞机(&C)", key C
inline constexpr int kOptions = 78;        // "选项(&O)"
inline constexpr int kLoadRoute = 32775;   // "加载航线(&L)"
inline constexpr int kEditRoute = 32776;   // "编辑航线(&E)"
inline constexpr int kUploadRoute = 32777; // "上传航线(&U)"
inline constexpr int kFlightDataBar = 32780; // "飞行数据(&F)", key Tab
inline constexpr int kVerifyRoute = 32782;   // "验证航线(&R)"
inline constexpr int kCloseLink = 32788;     // "关闭连接(&C)"
inline constexpr int kDeleteRoute = 32791;   // "删除航线(&D)"
inline constexpr int kEraseRouteMarks = 32804; // "擦除航线"
inline constexpr int kMapWaypointUpload = 32824; // "上传" (map waypoint menu)
inline constexpr int kMapWaypointDelete = 32825; // "删除" (map waypoint menu)
inline constexpr int kMapPlaceMarkDelete = 32844; // "删除" (map placemark menu)
inline constexpr int kMapWaypointEdit = 32846;    // "编辑" (map waypoint menu)
inline constexpr int kInstrumentBar = 32847;      // "仪表板(&K)"
inline constexpr int kRouteExtend = 32851;        // "航线延伸"
inline constexpr int kAltitudeMode = 32852;       // "高度模式"
inline constexpr int kNavigationBar = 32854;      // "位置导航(&P)"
inline constexpr int kSaveRoute = 32855;          // "保存航线(&L)"
inline constexpr int kLookStraightDown = 32862;   // "正视地图"
inline constexpr int kMoveRoute = 32865;          // "移动航线"
inline constexpr int kLocationSearch = 32867;     // "位置搜索(&G)"
inline constexpr int kGyroZero = 32871;           // "陀螺清零(&Z)"
inline constexpr int kCaptureNeutral = 32872;     // "捕获中位(&N)"
inline constexpr int kCalibrateChannels = 32873;  // "校准通道(&C)"
inline constexpr int kCompass = 32874;            // "磁罗盘(&M)"
inline constexpr int kParameters = 32875;         // "参数(&P)"
inline constexpr int kCustomParameters = 32876;   // "自定义参数(&E)"
inline constexpr int kOpenWifi = 32878;           // "打开Wifi(&W)"
inline constexpr int kSmallCalibration = 32879;   // "小斯校准"
inline constexpr int kCaptureRoll = 32880;        // "采集横滚"
inline constexpr int kCapturePitch = 32881;       // "采集俯仰"
inline constexpr int kDownloadOfflineMap = 32890; // "下载离线地图"
inline constexpr int kAbout = 57664;              // "关于 (&A)..."
inline constexpr int kExit = 57665;               // "退出(&X)"
inline constexpr int kToolBar = 59392;            // "工具栏(&T)"
inline constexpr int kStatusBar = 59393;          // "状态栏(&S)"
inline constexpr int kPlaybackBar = 0xE805;       // "回放栏(&B)"

} // namespace orvex::cmd

namespace orvex {

struct SCommandInfo {
    int id;
    const char* label;   // menu text or tooltip, exactly as the operator sees it
    const char* shortcut; // key sequence of an accelerator, or nullptr
    bool checkable;
};

// Every command, in table order.
const std::vector<SCommandInfo>& commandCatalogue();

class CCommandTable : public QObject {
    Q_OBJECT
public:
    explicit CCommandTable(QObject* parent = nullptr);

    void setHandler(int id, std::function<void()> handler);
    void setEnabledRule(int id, std::function<bool()> rule);
    void setCheckedRule(int id, std::function<bool()> rule);
    bool hasHandler(int id) const;

    // Runs the command's handler if the command is enabled (menus, toolbar, accelerators); returns
    // whether it ran.
    bool execute(int id);
    // Runs the handler whatever the enable rule says (the program sending itself the command: the
    // close sequence, the Tab and C keys); returns whether a handler ran.
    bool invoke(int id);
    bool isEnabled(int id) const;
    bool isChecked(int id) const;

    // The action of a command (owned by the table); nullptr for an unknown id.
    QAction* action(int id) const;
    // Applies the enable and check rules to every action.
    void updateActions();

signals:
    void commandExecuted(int id);

private:
    struct SEntry {
        QAction* action = nullptr;
        std::function<void()> handler;
        std::function<bool()> enabled;
        std::function<bool()> checked;
    };
    QHash<int, SEntry> m_entries;
};

} // namespace orvex
