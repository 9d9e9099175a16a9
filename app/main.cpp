#include <QApplication>
#include <QMainWindow>

#include "app/PreApplication.h"

int main(int argc, char** argv)
{
    orvexPreApplicationSetup();
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvex 无人机地面站"));
    window.resize(1280, 800);
    window.show();
    return app.exec();
}
