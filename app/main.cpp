#include "app/CVeltraxMySqlRecoveryApp.h"

int main(int argc, char** argv)
{
    app::CVeltraxMySqlRecoveryApp application(argc, argv);
    // A second instance ends here, before any window exists.
    if (!application.InitInstance(true))
        return application.ExitInstance(0);
    return application.ExitInstance(application.exec());
}
