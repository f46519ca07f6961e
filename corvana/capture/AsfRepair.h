#pragma once
#include <QString>

namespace corvana {

// Finishes, in place, an ASF recording whose writer was stopped before it could finish the file
// (killed, crashed, power lost). The muxer writes the header first with placeholders and fills
// them in only at the end, so such a file has no duration, size or packet count and is flagged
// as a broadcast. The whole data packets are kept, a partial last one is cut off, and the header
// gets the values the muxer would have written. Any file that is not such a recording is left
// exactly as it was.
//
// The broadcast flag is cleared last, after everything else is on disk: while it stands, a repair
// that was interrupted starts over and arrives at the same bytes.
class AsfRepair {
public:
    enum class Outcome { Repaired, AlreadyComplete, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString reason;     // in plain words, for the user
        double seconds = 0; // playing time the header gives afterwards
    };

    static Result Repair(const QString& path);
};

} // namespace corvana
