#include "DriveSide.h"
#include "Libraries.h"
#include "TDVDWriterPro2.h"

bool TDVDWriterPro2::InitializeDrives(int)
{
    return EngineLibraries::ensureBurnInit();
}
