#include "mainwindow/EngineInstances.h"

#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"

EngineInstances EngineInstances::create(QObject *owner, std::chrono::milliseconds driveAnswerBound)
{
    EngineInstances engines;
    // Made first, so that it is deleted first (children go in the order they came): its thread has
    // stopped before the engines it calls are deleted.
    engines.driveThread = new DriveThread(driveAnswerBound, owner);
    engines.DVDWriterPro = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro, owner);
    engines.DVDWriterPro21 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro21, owner);
    engines.DVDWriterPro1 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro1, owner);
    engines.driveThread->adopt({engines.DVDWriterPro, engines.DVDWriterPro21, engines.DVDWriterPro1});
    return engines;
}
