#include "app/CommandLine.h"

#include "CorvanaBuild.h"
#include "app/CCorvanaApp.h"

#include <QCoreApplication>

#include <cstdio>

namespace corvana {

CommandLine::Reading CommandLine::Read(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (!word.startsWith(QLatin1Char('-')))
            continue;
        if (word == QLatin1String("--help") || word == QLatin1String("-h"))
            return {Option::Help, word};
        if (word == QLatin1String("--version"))
            return {Option::Version, word};
        return {Option::Unknown, word};
    }
    return {};
}

QString CommandLine::Usage()
{
    return QCoreApplication::translate("CommandLine",
        "Usage: corvana [Close]\n"
        "       corvana --help | --version\n"
        "\n"
        "Corvana records sound, webcam video and photos, driven by the notebook's special keys.\n"
        "\n"
        "  (no argument)  start the resident program; if it already runs, open its window\n"
        "  Close          end the running instance and wait until it has ended\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and exit\n"
        "\n"
        "Folders, settings files and environment variables: see corvana(1).\n");
}

// The help is said in the user's language: the catalogue needs an application object, which a
// start that only answers an option has not made yet.
std::optional<int> CommandLine::AnswerInTheUsersLanguage(const QStringList& arguments)
{
    const Option option = Read(arguments).option;
    if (option != Option::Help && option != Option::Unknown)
        return Answer(arguments);
    int argc = 1;
    char name[] = "corvana";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    CCorvanaApp::LoadTranslation();
    return Answer(arguments);
}

QString CommandLine::VersionLine()
{
    return QStringLiteral("corvana " CORVANA_VERSION "\n");
}

std::optional<int> CommandLine::Answer(const QStringList& arguments)
{
    const Reading reading = Read(arguments);
    switch (reading.option) {
    case Option::None:
        return std::nullopt;
    case Option::Help:
        std::fputs(Usage().toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case Option::Version:
        std::fputs(VersionLine().toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case Option::Unknown:
        std::fprintf(stderr, "corvana: unknown option '%s'\n%s", reading.word.toLocal8Bit().constData(),
                     Usage().toLocal8Bit().constData());
        return 2;
    }
    return std::nullopt;
}

} // namespace corvana
