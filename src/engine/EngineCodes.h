#pragma once

// The codes the engine's drive side answers with and takes: DiscType results, HasCapability
// arguments, the kinds of OnWriteError and the base speeds that write speeds are multiples of.
// The values are part of the engine's interface; callers use these names, never the numbers.
namespace EngineCodes {

// DiscType(): the medium in the current drive.
enum DiscType : int {
    DvdRw = 1,
    DvdR = 2,
    DvdPlusRw = 3,
    DvdPlusR = 4,
    RandomAccess = 9, // DVD-RAM, BD-RE and virtual drives: written in place
    BdR = 10,
    CdRw = 253,
    NoWritableMedium = 254, // no medium, or none this drive can write
    CdR = 255,
};

// The CD class: media whose write speeds are multiples of the CD base speed.
constexpr bool isCdClass(int discType)
{
    return discType == CdRw || discType == NoWritableMedium || discType == CdR;
}

// HasCapability(code): what the drive can do to a medium.
enum Capability : int {
    BlankCdRw = 7,
    BlankDvdRw = 10,
    FormatDvdPlusRw = 37,
    FormatRandomAccess = 39,
};

// OnWriteError's first argument: what failed.
enum WriteErrorKind : int {
    ImageUnreadable = 1, // the image file could not be read
    DriveLibraryError = 2, // the drive library's own message says why
    DriveSenseError = 3, // the drive answered with sense data: DriveError and the sense text say why
};

// OnBurnProgress's first argument: what a running drive job is doing.
enum BurnStage : int {
    Preparing = 0, // the drive gets ready; nothing written yet
    Writing = 1,
    Closing = 2, // the data is written; the drive finishes the track, the session or its cache
    Verifying = 3, // AutoVerify reads the burn back
    Erasing = 4,
};

// One speed multiple ("1x") in kB/s, per medium class.
enum BaseSpeed : int {
    CdBaseSpeed = 176,
    DvdBaseSpeed = 1385,
    BdBaseSpeed = 4495,
};

} // namespace EngineCodes
