#pragma once
// The "飞控设置(&S)" menu: its commands get their handlers here.
//
//   陀螺清零(&Z), 捕获中位(&N), 校准通道(&C), 小斯校准   Yes/No question without an icon, then the
//                                                      command code 100, 102, 117, 144
//   采集横滚, 采集俯仰                                  the command code 145, 146 at once
//   磁罗盘(&M), 参数(&P), 自定义参数(&E)                 the three dialogs, modal, each with its
//                                                      open flag set for exactly as long as it runs
//
// Called once by COrvexApp::attachSubsystems(); the dialogs are parented to the main frame.

namespace orvex {

class CCommandTable;
class CGroundStation;
class CMainFrame;

void attachConfiguration(CMainFrame& frame, CGroundStation& station, CCommandTable& commands);

} // namespace orvex
