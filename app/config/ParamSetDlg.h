#pragma once
// CParamSetDlg ("参数设置"): the flight controller's tuning parameters.
//
//   "获取"     sends the parameter request; the "$PAR" answer fills the controls later, while the
//              dialog is open (CConfigDialogs routes it here by the parameter dialog's open flag).
//   "发送"     sends one parameter write built from the controls. It is enabled once the controls
//              hold a set read back from the aircraft ("获取") or every edit is filled; a field
//              out of its range refuses the write with a message naming the range, then
//              "确定将参数写入飞控？" is asked (No by default).
//   "恢复参数" asks "恢复默认参数?"; on Yes sends the default-parameter reset and, 200 ms later
//              (a timer: the window keeps working meanwhile), the parameter request.
//
// The controls are built fresh for every opening: edits empty, combos on their first item, the
// custom-speed edit hidden until "最大速度" is on "自定义". The numbers are handled by
// core/config/ParameterCodec.h; this class only moves texts and item indexes.

#include <QDialog>

#include <array>

#include "config/ConfigDialogs.h"
#include "config/ParameterCodec.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class CGroundStation;

class CParamSetDlg : public QDialog, public IParameterDialogView {
    Q_OBJECT
public:
    static constexpr int kDialogId = 147;

    explicit CParamSetDlg(CGroundStation& station, QWidget* parent = nullptr);
    ~CParamSetDlg() override;

    QLineEdit* edit(EParamEdit which) const { return m_edits[static_cast<std::size_t>(which)]; }
    QComboBox* combo(EParamCombo which) const { return m_combos[static_cast<std::size_t>(which)]; }
    QLineEdit* customSpeedEdit() const { return m_customSpeed; }
    QLabel* noticeLabel() const { return m_notice; }
    QPushButton* fetchButton() const { return m_fetch; }
    QPushButton* sendButton() const { return m_send; }
    QPushButton* restoreButton() const { return m_restore; }

    // The controls as the codec sees them, and back.
    SParamSetForm form() const;
    void setForm(const SParamSetForm& form);

    // IParameterDialogView: a "$PAR" while the dialog is open.
    void showParameterValues(const SParameterValues& values) override;

    void fetch();
    void send();
    void restoreDefaults();

private:
    void updateCustomSpeedVisibility();
    void updateSendEnabled();
    bool m_readBack = false; // the controls were filled by a "$PAR"

    CGroundStation& m_station;
    std::array<QLineEdit*, kParamEditCount> m_edits{};
    std::array<QComboBox*, kParamComboCount> m_combos{};
    QLineEdit* m_customSpeed = nullptr;
    QLabel* m_notice = nullptr;
    QPushButton* m_fetch = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_restore = nullptr;
};

} // namespace orvex
