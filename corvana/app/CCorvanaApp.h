#pragma once
#include <QObject>
#include <QStringList>

namespace corvana {

// Start-up, the single-instance rule and the exit step of the resident program.
class CCorvanaApp {
public:
    // The whole life of the process; returns its exit code.
    static int Main(int argc, char* argv[]);
    // Keeps the resident program's memory flat over weeks: the capture threads' frames are
    // allocated and freed on different threads, and with an allocator arena per thread the freed
    // memory stays with the arenas instead of going back. Call before any thread starts.
    static void LimitAllocatorArenas();

    // The first argument that is not a switch, as the request of this start.
    static QString FileNameArgument(const QStringList& arguments);

    // Installs the catalogue of the user's language, if one ships; needs the application object.
    static bool LoadTranslation();

private:
    // Both lights off, in a process that was or could have been the resident instance.
    static void ExitInstance();
};

} // namespace corvana
