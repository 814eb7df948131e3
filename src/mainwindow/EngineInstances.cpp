#include "mainwindow/EngineInstances.h"

#include "engine/TDVDWriterPro2.h"

EngineInstances EngineInstances::create(QObject *owner)
{
    EngineInstances engines;
    engines.DVDWriterPro = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro, owner);
    engines.DVDWriterPro21 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro21, owner);
    engines.DVDWriterPro1 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro1, owner);
    return engines;
}
