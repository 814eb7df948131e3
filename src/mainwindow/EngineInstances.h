#pragma once

#include <chrono>

class DriveThread;
class QObject;
class TDVDWriterPro2;

// The main window's three engine instances, and which work each one does. They share the
// machine's drives (one drive registry, one lock on libisofs); each keeps its own image, its own
// properties and its own selected drive.
//
//   instance        work                                    drive it acts on
//   --------------  --------------------------------------  -----------------------------------------
//   DVDWriterPro    the drive lists; disc to image; burning  the recorder of the burn page's list,
//                                                            selected on page entry and on each pick;
//                                                            a disc is read by its letter, unselected
//   DVDWriterPro21  the FILETOISO compilation; files to      none: it only builds and writes an image
//                   image
//   DVDWriterPro1   erasing                                  the recorder the burn page's list shows,
//                                                            selected anew at every Erase
//
// Every drive-side call of the three (scanning, the drive lists, selecting, media, burning, erasing,
// ejecting) is asked of the drive thread, whose answers come back to the user-interface thread: the
// drive thread adopts the three drive sides, which refuse a call from any other thread. Image
// jobs run the instance's WriteImageFile on a worker thread; the image side is otherwise called on the
// user-interface thread.
struct EngineInstances
{
    DriveThread *driveThread = nullptr;
    TDVDWriterPro2 *DVDWriterPro = nullptr;
    TDVDWriterPro2 *DVDWriterPro21 = nullptr;
    TDVDWriterPro2 *DVDWriterPro1 = nullptr;

    // The three with their start values and the drive thread that asks them, owned by `owner`; a drive
    // that does not answer within `driveAnswerBound` is reported.
    static EngineInstances create(QObject *owner, std::chrono::milliseconds driveAnswerBound);
};
