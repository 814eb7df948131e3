#pragma once

#include "engine/drives/DriveLayer.h"

namespace Drives {

class MessageStash;

// The drive layer on libburn: MMC drives found by its scan, and "stdio:" pseudo-drives on plain files.
class LibburnDriveLayer final : public DriveLayer
{
public:
    LibburnDriveLayer();
    ~LibburnDriveLayer() override;
    bool start() override;
    std::vector<DriveDescription> scan() override;
    std::unique_ptr<Drive> drive(const DriveDescription &description) override;
    std::vector<LibraryMessage> takeMessages() override;

private:
    std::shared_ptr<MessageStash> m_stash;
};

} // namespace Drives
