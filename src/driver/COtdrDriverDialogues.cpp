// The facade's dialog entry points: configuration and file transfer.
// Temporary bodies until the dialogs exist.

#include "driver/COtdrDriver.h"

int COtdrDriver::ConfigDriver(int)
{
    return 0;
}

int COtdrDriver::ConfigDriver()
{
    return ConfigDriver(1);
}

int COtdrDriver::FileTransfert(const wchar_t*, const wchar_t*)
{
    return 0;
}

int COtdrDriver::FileTransfertAvecDemandeLogin()
{
    return 0;
}
