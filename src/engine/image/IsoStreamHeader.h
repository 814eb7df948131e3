#pragma once

#include <cstdint>
#include <libisofs/libisofs.h>

// libisofs names the class pointer of struct iso_stream "class", which C++ cannot spell; this is the
// same layout under another name, as libisofs.h advises. Our streams start with it.
struct IsoStreamHeader
{
    IsoStreamIface *klass;
    int refcount;
    void *data;
};
