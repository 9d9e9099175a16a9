// orvex-gcs: the Orvex ground station. COrvexApp (app/app/OrvexApp.h) does the work.
#include "app/OrvexApp.h"
#include "app/PreApplication.h"

int main(int argc, char** argv)
{
    orvexPreApplicationSetup();
    return orvex::COrvexApp::run(argc, argv);
}
