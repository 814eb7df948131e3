#pragma once

#include <QString>

#include <array>

// Where the shipped pictures lie in the program folder. The artwork tool writes them and the
// windows read them, both through these names.
namespace ArtworkFiles {

enum class ButtonState { Normal, MouseOn, MouseDown };

struct Face
{
    const char *name;
    int width;
    int height;
};

// Every button face, with the size of its pictures.
inline constexpr std::array<Face, 19> ButtonFaces {{
    {"CdToIso", 132, 61}, {"DataToIso", 132, 61}, {"BurnIsoPage", 132, 61},   {"About", 132, 61},
    {"Website", 70, 50},  {"EMail", 70, 50},      {"Help", 70, 50},           {"Minimise", 26, 28},
    {"Close", 26, 28},    {"AddFile", 80, 33},    {"RemoveFile", 80, 33},     {"ClearAll", 80, 33},
    {"SaveList", 80, 33}, {"LoadList", 80, 33},   {"MakeIso", 80, 33},        {"BurnIso", 80, 33},
    {"Cancel", 80, 33},   {"Erase", 80, 33},      {"ProgressCancel", 66, 27},
}};

// The description banners of the main window's picture strip.
inline constexpr std::array<const char *, 15> Banners {
    "ImgCDTOISO",     "ImgDATATOISO",   "ImgBURNISO",    "ImgAbout",         "ImgWEBSITE",
    "ImgEmail",       "ImgHelp",        "ImgBtnAddFile", "ImgBtnRemoveFile", "ImgBtnClearAll",
    "ImgBtnSaveList", "ImgBtnLoadList", "ImgBtnMakeIso", "ImgBtnBurnIso",    "ImgBtnCancel",
};
// The line each banner shows, in the order above; a screen reader reads them as the descriptions.
inline constexpr std::array<const char *, 15> BannerWords {
    "Select the CD/DVD drive holding the disc, name the image file, then click Make ISO.",
    "Create a new ISO image from the files and folders on your computer.",
    "Select the recorder and the ISO image file, then click Burn ISO.",
    "Show information about this software.",
    "Visit the Varnholt web site for more information.",
    "Write an e-mail to Varnholt.",
    "Get help on using Kestrane.",
    "Add files and folders to the list.",
    "Remove the selected files and folders from the list.",
    "Clear all files and folders from the list.",
    "Save the list to your computer.",
    "Load a saved list from your computer.",
    "Start making the ISO image file.",
    "Start burning the image to the disc.",
    "Stop burning.",
};
inline constexpr int BannerWidth = 500;
inline constexpr int BannerHeight = 59;

// The label pictures of the pages.
inline constexpr std::array<Face, 4> PageLabels {{
    {"SourceDrive", 135, 23},
    {"OutputIsoFile", 100, 23},
    {"Recorder", 63, 23},
    {"IsoFile", 63, 23},
}};
// The words each label picture shows; the field it labels is named by them too.
inline constexpr std::array<const char *, 4> PageLabelWords {
    "Source CD/DVD-ROM:",
    "Output ISO File:",
    "Recorder:",
    "ISO File:",
};

inline constexpr int SkinWidth = 718;
inline constexpr int SkinHeight = 463;
inline constexpr int ImageListSize = 16;
inline constexpr int ImageListCount = 6;

inline QString skin()
{
    return QStringLiteral("Image/Skin.png");
}

inline QString button(const char *face, ButtonState state)
{
    static const char *const suffix[] = {"Normal", "MouseOn", "MouseDown"};
    return QStringLiteral("Image/Button/%1_%2.png")
        .arg(QLatin1String(face), QLatin1String(suffix[static_cast<int>(state)]));
}

inline QString banner(const char *name)
{
    return QStringLiteral("Image/Strip/%1.png").arg(QLatin1String(name));
}

inline QString pageLabel(const char *name)
{
    return QStringLiteral("Image/Label/%1.png").arg(QLatin1String(name));
}

inline QString about()
{
    return QStringLiteral("Image/About.png");
}

inline QString imageList(int index)
{
    return QStringLiteral("Image/List/%1.png").arg(index);
}

// The same picture drawn at twice the size for screens of more than one pixel per point:
// "Image/Skin.png" has "Image/Skin@2x.png" beside it.
inline constexpr int HighRatio = 2;
inline QString atHighRatio(const QString &file)
{
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    const qsizetype at = dot > slash ? dot : file.size();
    return file.left(at) + QStringLiteral("@%1x").arg(HighRatio) + file.mid(at);
}

} // namespace ArtworkFiles
