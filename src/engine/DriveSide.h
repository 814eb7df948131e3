#pragma once

#include "engine/TDVDWriterPro2.h"

#include "engine/drives/DriveLayer.h"
#include "engine/drives/DriveRegistry.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QTimer;

// The libburn state of one engine instance: its current drive and the job it runs.
struct TDVDWriterPro2::DriveSide
{
    struct Job
    {
        enum class Kind { Burn, Erase, VirtualErase, FailedStart };
        Kind kind = Kind::Burn;
        int drive = -1;
        int generation = 0;
        int64_t totalBlocks = 0;
        int64_t blocksWritten = 0;
        int64_t imageBytes = 0;
        QString imagePath;
        bool simulate = false;
        bool cancelRequested = false;
        bool started = false; // OnEraseDiscStart sent
        std::vector<Drives::LibraryMessage> messages;
    };

    ~DriveSide();
    // The drive the instance acts on: the one selected last, or the first writer when none was.
    int currentIndex() const;
    Drives::DriveRegistry::Entry *current() const;

    int selected = -1;
    bool selectionMade = false; // after a failed SelectDrive nothing is current, not the default
    int selectionGeneration = -1;
    int speedMultiple = 0; // 0: the highest speed
    std::unique_ptr<Job> job;
    // Polls the running job on the thread that started it (the window's drive thread, or a caller's
    // own): not a child of the engine, which may live on another thread.
    QTimer *poll = nullptr;
    std::thread verifier; // the read-back of the last burn, while AutoVerify runs it
    std::atomic<bool> stopVerifying {false};
    QString lastVerifyError; // why the last read-back could not compare the burn with its image
    QString lastRefusal; // why the last BurnImageFile returned false
};
