#pragma once

#include <QString>

// What the current drive holds, in the terms a person knows a disc by: its kind and its state. DiscType
// answers only whether it can be written; this tells an empty tray from a pressed disc and a closed one.
struct MediumDetails
{
    enum class State { NoDisc, Blank, Appendable, Closed, Unreadable };
    State state = State::NoDisc;
    QString kind; // "CD-ROM", "DVD+RW", "BD-R", ...; empty without a disc or for a kind libburn does not know
    bool pressed = false; // made in a press (CD-ROM, DVD-ROM, BD-ROM): no drive can write or erase it
    bool virtualDisc = false; // a virtual drive's file
};
