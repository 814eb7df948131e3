#pragma once

#include <QString>

#include <chrono>

// What the user is told when a drive gave no answer within the drive thread's bound.
QString DriveNotAnsweringText(std::chrono::milliseconds bound);
