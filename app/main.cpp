// orvex-gcs: the Orvex ground station. COrvexApp (app/shell/OrvexApp.h) does the work.
#include "app/shell/OrvexApp.h"
#include "app/shell/PreApplication.h"

int main(int argc, char** argv)
{
    orvexPreApplicationSetup();
    return orvex::COrvexApp::run(argc, argv);
}
