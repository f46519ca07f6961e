#pragma once
#include <QString>
#include <QStringList>

#include <optional>

namespace corvana {

// The options of the command line. They are answered before anything else runs, so that --help
// and --version need no display and leave a running instance, its lock and the lights alone.
class CommandLine {
public:
    enum class Option { None, Help, Version, Unknown };

    // The first option (a word starting with "-") and the word itself; None when there is none.
    struct Reading {
        Option option = Option::None;
        QString word;
    };
    static Reading Read(const QStringList& arguments);

    static QString Usage();
    static QString VersionLine();

    // Prints the help, the version or the complaint about an unknown option and gives the exit
    // code; nothing when the start is an ordinary one.
    static std::optional<int> Answer(const QStringList& arguments);
    // Answer, with the help in the user's language when no application object exists yet.
    static std::optional<int> AnswerInTheUsersLanguage(const QStringList& arguments);
};

} // namespace corvana
