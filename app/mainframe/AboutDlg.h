#pragma once
// The about box: the program icon, the text "Orvex 无人机地面站1.0 版" and one button "确定".

#include <QDialog>

namespace orvex {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static QString aboutText();
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace orvex
