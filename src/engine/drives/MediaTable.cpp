#include "engine/drives/MediaTable.h"

#include <algorithm>

namespace Drives {

namespace {

bool writableState(DiscStatus status)
{
    return status == DiscStatus::Blank || status == DiscStatus::Appendable;
}

bool hasAny(const std::vector<int> &profiles, std::initializer_list<int> wanted)
{
    return std::any_of(wanted.begin(), wanted.end(), [&](int p) {
        return std::find(profiles.begin(), profiles.end(), p) != profiles.end();
    });
}

struct KindRow
{
    int profile;
    const char *name;
    bool pressed;
};

// MMC's profile numbers and the names on the discs' packs.
constexpr KindRow KindRows[] = {
    {0x08, "CD-ROM", true},     {0x09, "CD-R", false},     {0x0a, "CD-RW", false},  {0x10, "DVD-ROM", true},
    {0x11, "DVD-R", false},     {0x12, "DVD-RAM", false},  {0x13, "DVD-RW", false}, {0x14, "DVD-RW", false},
    {0x15, "DVD-R DL", false},  {0x16, "DVD-R DL", false}, {0x1a, "DVD+RW", false}, {0x1b, "DVD+R", false},
    {0x2a, "DVD+RW DL", false}, {0x2b, "DVD+R DL", false}, {0x40, "BD-ROM", true},  {0x41, "BD-R", false},
    {0x42, "BD-R", false},      {0x43, "BD-RE", false},
};

} // namespace

MediumDetails mediumDetailsFor(int profile, DiscStatus status)
{
    MediumDetails details;
    switch (status) {
    case DiscStatus::Empty:
        return details;
    case DiscStatus::Blank:
        details.state = MediumDetails::State::Blank;
        break;
    case DiscStatus::Appendable:
        details.state = MediumDetails::State::Appendable;
        break;
    case DiscStatus::Full:
        details.state = MediumDetails::State::Closed;
        break;
    case DiscStatus::Unknown:
    case DiscStatus::Unsuitable:
        details.state = MediumDetails::State::Unreadable;
        break;
    }
    if (profile == 0xffff) {
        details.virtualDisc = true;
        return details;
    }
    for (const KindRow &row : KindRows) {
        if (row.profile == profile) {
            details.kind = QString::fromLatin1(row.name);
            details.pressed = row.pressed;
            break;
        }
    }
    return details;
}

int discTypeFor(int profile, DiscStatus status)
{
    if (status == DiscStatus::Empty || status == DiscStatus::Unknown || status == DiscStatus::Unsuitable)
        return DiscTypes::NoWritableMedium;
    switch (profile) {
    case 0x09: // CD-R
        return writableState(status) ? DiscTypes::CdR : DiscTypes::NoWritableMedium;
    case 0x0a: // CD-RW, whatever it holds: it can be blanked
        return DiscTypes::CdRw;
    case 0x11: // DVD-R sequential
    case 0x15: // DVD-R DL sequential
    case 0x16: // DVD-R DL layer jump
        return writableState(status) ? DiscTypes::DvdR : DiscTypes::NoWritableMedium;
    case 0x13: // DVD-RW restricted overwrite
    case 0x14: // DVD-RW sequential
        return DiscTypes::DvdRw;
    case 0x1a: // DVD+RW
    case 0x2a: // DVD+RW DL
        return DiscTypes::DvdPlusRw;
    case 0x1b: // DVD+R
    case 0x2b: // DVD+R DL
        return writableState(status) ? DiscTypes::DvdPlusR : DiscTypes::NoWritableMedium;
    case 0x12: // DVD-RAM
    case 0x43: // BD-RE
    case 0xffff: // a plain file behind a virtual drive
        return DiscTypes::RandomAccess;
    case 0x41: // BD-R sequential; random recording (0x42) is read-only for libburn
        return writableState(status) ? DiscTypes::BdR : DiscTypes::NoWritableMedium;
    default: // none, CD-ROM, DVD-ROM, BD-ROM and whatever libburn cannot write
        return DiscTypes::NoWritableMedium;
    }
}

bool driveHasCapability(int code, const std::vector<int> &driveProfiles)
{
    switch (code) {
    case Capabilities::BlankCdRw:
        return hasAny(driveProfiles, {0x0a});
    case Capabilities::BlankDvdRw:
        return hasAny(driveProfiles, {0x13, 0x14});
    case Capabilities::FormatDvdPlusRw:
        return hasAny(driveProfiles, {0x1a, 0x2a});
    case Capabilities::FormatRandomAccess:
        return hasAny(driveProfiles, {0x12, 0x43, 0xffff});
    default:
        return false;
    }
}

int baseSpeedFor(int profile)
{
    if (profile >= 0x08 && profile <= 0x0a)
        return EngineCodes::CdBaseSpeed;
    if (profile >= 0x40 && profile <= 0x43)
        return EngineCodes::BdBaseSpeed;
    return EngineCodes::DvdBaseSpeed;
}

} // namespace Drives
