#pragma once
// CPlaceMarkDlg: the name dialog of the placemark tool ("标注") and of the position search
// ("位置搜索", mode value 100): one edit field, "确定" and "取消".

#include <QDialog>

class QLineEdit;

namespace orvex {

class CPlaceMarkDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSearchMode = 100;

    explicit CPlaceMarkDlg(QWidget* parent = nullptr, int mode = 0);

    int mode() const { return m_mode; }
    QString name() const;
    void setName(const QString& name);
    QLineEdit* nameEdit() const { return m_edit; }

private:
    int m_mode;
    QLineEdit* m_edit;
};

} // namespace orvex
