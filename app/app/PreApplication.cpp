#include "app/PreApplication.h"

void orvexPreApplicationSetup()
{
}
