#include "core/EraseTable.h"

#include "engine/EngineCodes.h"

#include <array>
#include <utility>

EraseDecision DecideErase(int discType, const std::function<bool(int)> &hasCapability)
{
    using namespace EngineCodes;
    if (discType == NoWritableMedium)
        return {false, QStringLiteral("   No  Media   Loaded...   ")};
    // (capability, disc type), tried in this order.
    constexpr std::array<std::pair<Capability, DiscType>, 4> pairs = {{{BlankCdRw, CdRw},
                                                                       {FormatDvdPlusRw, DvdPlusRw},
                                                                       {BlankDvdRw, DvdRw},
                                                                       {FormatRandomAccess, RandomAccess}}};
    bool erasable = false;
    for (const auto &[capability, type] : pairs) {
        erasable |= type == discType;
        if (hasCapability(capability) && type == discType)
            return {true, QString()};
    }
    if (erasable)
        return {false, QStringLiteral("This drive cannot erase this kind of disc.")};
    return {false, QStringLiteral("There are no compatible drives reported.")};
}
