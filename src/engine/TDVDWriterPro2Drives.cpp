#include <cstdint>
// libburn.h first: it puts its API in namespace burn, while libisofs.h declares a global burn_source.
#include <libburn/libburn.h>

#include "DriveSide.h"
#include "TDVDWriterPro2.h"

bool TDVDWriterPro2::InitializeDrives(int)
{
    return burn::burn_initialize() == 1;
}
