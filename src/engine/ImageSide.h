#pragma once

#include "TDVDWriterPro2.h"

// The libisofs state of one engine instance.
struct TDVDWriterPro2::ImageSide
{
};
