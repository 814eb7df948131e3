#include "engine/TDVDWriterPro2.h"

#include "engine/DriveSide.h"
#include "engine/ImageSide.h"

TDVDWriterPro2::TDVDWriterPro2(Instance instance, QObject *parent)
    : QObject(parent)
    , m_image(std::make_unique<ImageSide>())
    , m_drives(std::make_unique<DriveSide>())
{
    if (instance == Instance::DVDWriterPro) {
        m_volumeIdentifier = QStringLiteral("NEWDISC");
        m_cacheImage = true;
        m_writeType = 0;
        m_isoComplianceLevel = 2;
        m_bufferSizeBlocks = 4096;
    } else {
        m_volumeIdentifier =
            instance == Instance::DVDWriterPro21 ? QStringLiteral("NEW DISC") : QStringLiteral("NEWDISC");
        m_writeType = 1;
        m_isoComplianceLevel = 1;
        m_bufferSizeBlocks = 2048;
    }
    followStickChanges();
}

TDVDWriterPro2::~TDVDWriterPro2() = default;
