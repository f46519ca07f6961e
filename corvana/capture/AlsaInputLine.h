#pragma once
#include <QString>

namespace corvana {

// Switches on the capture lines of an ALSA card's mixer whose names contain a given text
// (case-sensitive). Cards without such a line are left alone.
class AlsaInputLine {
public:
    // Returns the number of lines switched on; -1 when the card's mixer cannot be opened.
    static int Enable(int card, const QString& lineName);
};

} // namespace corvana
