#pragma once
// CCustomParamDlg ("自定义参数"): the flight controller's custom motor mixing table, eight motors
// "M1".."M8" by the columns "油门(%)", "磁偏角(%)", "俯仰(%)", "横滚(%)", one signed percent each.
//
//   "获取"  sends the command code 142; the "$PUR" answer fills the grid while the dialog is open.
//   "发送"  sends the four columns as command-code-with-data frames 138..141, back to back. It is
//           enabled once the grid holds a table read back from the aircraft or every box is
//           filled; a box out of its range refuses the write with a message naming the range,
//           then "确定将参数写入飞控？" is asked (No by default).
//
// The grid is empty at every opening. The numbers are handled by core/config/ParameterCodec.h.

#include <QDialog>

#include <array>

#include "config/ConfigDialogs.h"
#include "config/ParameterCodec.h"

class QLineEdit;
class QPushButton;

namespace orvex {

class CGroundStation;

class CCustomParamDlg : public QDialog, public ICustomParameterDialogView {
    Q_OBJECT
public:
    static constexpr int kDialogId = 193;

    explicit CCustomParamDlg(CGroundStation& station, QWidget* parent = nullptr);
    ~CCustomParamDlg() override;

    // column 0..3 ("油门(%)".."横滚(%)"), motor 0..7 ("M1".."M8").
    QLineEdit* cell(int column, int motor) const { return m_cells[mixingIndex(column, motor)]; }
    QPushButton* fetchButton() const { return m_fetch; }
    QPushButton* sendButton() const { return m_send; }

    MixingTexts texts() const;
    void setTexts(const MixingTexts& texts);

    // ICustomParameterDialogView: a "$PUR" while the dialog is open.
    void showCustomParameters(const SCustomParameters& parameters) override;

    void fetch();
    void send();

private:
    void updateSendEnabled();

    CGroundStation& m_station;
    bool m_readBack = false; // the grid was filled by a "$PUR"
    std::array<QLineEdit*, kMixingValues> m_cells{};
    QPushButton* m_fetch = nullptr;
    QPushButton* m_send = nullptr;
};

} // namespace orvex
