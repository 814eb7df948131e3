#include "widgets/FontConfigWarmUp.h"

#include "widgets/LowPriority.h"

#include <fontconfig/fontconfig.h>

FontConfigWarmUp::FontConfigWarmUp()
    : m_thread([] {
        LowerThisThreadsPriority();
        FcInit();
    })
{ }

FontConfigWarmUp::~FontConfigWarmUp()
{
    m_thread.join();
}
