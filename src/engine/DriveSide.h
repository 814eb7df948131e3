#pragma once

#include "TDVDWriterPro2.h"

// The libburn state of one engine instance.
struct TDVDWriterPro2::DriveSide
{
};
