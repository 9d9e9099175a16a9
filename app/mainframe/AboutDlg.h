#pragma once
// The about box: the program icon, the text "Orvex 无人机地面站1.0 版" (the version of the build),
// the folder of the files the program writes, and one button "确定".

#include <QDialog>

namespace orvex {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static QString aboutText();
    // `dataFolder`: where Korva.ini, the flight logs and the reports are (not shown when empty).
    explicit CAboutDlg(QWidget* parent = nullptr, const QString& dataFolder = {});
};

} // namespace orvex
