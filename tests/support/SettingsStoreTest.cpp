// The stored mode, the machine's array-microphone statement and version text, read from real
// files in a private configuration tree, including broken ones.
#include "TestEnvironment.h"
#include "support/CSettingsStore.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using corvana::CSettingsStore;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    // Saves `mode` and tells whether the save reported its failure.
    static bool SaveReportsError(int mode)
    {
        static QStringList s_lines;
        s_lines.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { s_lines << text; });
        CSettingsStore::SaveModeState(mode);
        qInstallMessageHandler(nullptr);
        return s_lines.contains(QStringLiteral("save registry error"));
    }

    TestEnvironment env;
};

TEST_F(SettingsStoreTest, NumbersOutsideTheValidFormReadMinusOne)
{
    // 4 is a number but no mode: the dialog falls back.
    int padding = 0;
    for (const auto& [stored, expected] : std::initializer_list<std::pair<QByteArray, int>>{
             {"4", 4}, {"2147483647", 2147483647}, {"2147483648", -1}, {"-2147483649", -1}, {"two", -1},
             {"0x2", -1}, {"2.5", -1}, {"", -1}, {"1,2", -1}, {"@Variant(\\0\\0\\0\\x2)", -1}}) {
        // Each file differs in size, so a store cached from the previous case cannot match it.
        env.SetUserSettings("[General]\nModeState=" + stored + "\n;" + QByteArray(40 * ++padding, ' ') + "\n");
        EXPECT_EQ(CSettingsStore::LoadModeState(), expected) << stored.constData();
    }
    env.SetUserSettings("[General]\nmodestate=2\n"); // names are exact
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
}

TEST_F(SettingsStoreTest, MachineValuesComeFromTheFirstConfigurationFolderVersionUpTo255Bytes)
{
    env.SetMachineSettings("ArrayMic=0\r\nVersion = 1.0;2, \"beta\"\r\n[Other]\nVersion=elsewhere\n");
    env.SetUserSettings("[General]\nArrayMic=5\n"); // the user's store never stands in for the machine's
    EXPECT_EQ(CSettingsStore::LoadArrayMic(), 0);
    EXPECT_EQ(CSettingsStore::LoadVersion(), QStringLiteral("1.0;2, \"beta\""));

    const QByteArray exact(255, 'v');
    env.SetMachineSettings("[General]\nVersion=" + exact + "\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QString::fromLatin1(exact));
    env.SetMachineSettings("[General]\nVersion=" + exact + "w\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QString());
    // Counted in bytes: 128 two-byte characters are 256 bytes.
    env.SetMachineSettings("[General]\nVersion=" + QString(128, QChar(0xE9)).toUtf8() + "\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QString());

    // A desktop's own folders ahead of the one that holds the file, as Plasma and Ubuntu have them.
    env.SetMachineSettings("[General]\nVersion=2.5\n");
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    TestEnvironment::Set("XDG_CONFIG_DIRS", env.Root() + QStringLiteral("/kdedefaults::") + dirs);
    EXPECT_EQ(CSettingsStore::LoadVersion(), QStringLiteral("2.5"));
    TestEnvironment::Set("XDG_CONFIG_DIRS", dirs);
}

TEST_F(SettingsStoreTest, SaveKeepsOtherValuesBrokenEmptyOrUnreadableStoresReadAsMissingAndAreNeverRewritten)
{
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1); // no store yet
    EXPECT_FALSE(SaveReportsError(2));
    EXPECT_EQ(CSettingsStore::LoadModeState(), 2);
    env.SetUserSettings("[General]\nModeState=1\nOther=kept\n");
    CSettingsStore::SaveModeState(0);
    EXPECT_EQ(CSettingsStore::LoadModeState(), 0);
    EXPECT_TRUE(TestEnvironment::ReadFile(env.UserSettings()).contains("Other=kept"));

    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>((i * 7919) & 0xFF));
    const QByteArray huge = "[General]\nModeState=2\n" + QByteArray(1 << 20, 'x') + "\n";
    for (const QByteArray& broken : {binary, huge}) {
        env.SetUserSettings(broken);
        EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
        EXPECT_TRUE(SaveReportsError(1));
        EXPECT_EQ(TestEnvironment::ReadFile(env.UserSettings()), broken) << "a broken store was replaced";
    }
    env.SetUserSettings({});
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
    EXPECT_FALSE(SaveReportsError(1));
    EXPECT_EQ(CSettingsStore::LoadModeState(), 1);

    // A folder where the file should be can be neither read nor written.
    QFile::remove(env.UserSettings());
    QDir().mkpath(env.UserSettings());
    EXPECT_TRUE(SaveReportsError(2));
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
}

} // namespace
