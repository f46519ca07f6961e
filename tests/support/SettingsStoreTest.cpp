// The stored mode, the machine's array-microphone statement and version text, read from real
// files in a private configuration tree, including broken ones.
#include "TestEnvironment.h"
#include "support/CSettingsStore.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using corvana::CSettingsStore;

namespace {

QStringList g_debugLines;

void CollectDebug(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_debugLines << message;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { g_debugLines.clear(); }
    TestEnvironment env;
};

TEST_F(SettingsStoreTest, SaveCreatesTheStoreAndReadsBack)
{
    CSettingsStore::SaveModeState(2);
    EXPECT_TRUE(QFile::exists(env.UserSettings()));
    EXPECT_EQ(CSettingsStore::LoadModeState(), 2);
    CSettingsStore::SaveModeState(0);
    EXPECT_EQ(CSettingsStore::LoadModeState(), 0);
    // Another value in the same store survives a save.
    env.SetUserSettings("[General]\nModeState=1\nOther=kept\n");
    CSettingsStore::SaveModeState(3);
    EXPECT_EQ(CSettingsStore::LoadModeState(), 3);
    EXPECT_TRUE(TestEnvironment::ReadFile(env.UserSettings()).contains("Other=kept"));
}

TEST_F(SettingsStoreTest, NumbersOutsideTheValidFormReadMinusOne)
{
    const struct {
        QByteArray stored;
        int expected;
    } cases[] = {
        {"ModeState=4\n", 4},  // a number, but no mode: the dialog falls back
        {"ModeState=-2147483648\n", -2147483647 - 1},
        {"ModeState=2147483647\n", 2147483647},
        {"ModeState=2147483648\n", -1},
        {"ModeState=-2147483649\n", -1},
        {"ModeState=99999999999999999999999\n", -1},
        {"ModeState=two\n", -1},
        {"ModeState=0x2\n", -1},
        {"ModeState=2.5\n", -1},
        {"ModeState=\n", -1},
        {"ModeState=1,2\n", -1},
        {"ModeState=@Variant(\\0\\0\\0\\x2)\n", -1},
        {"modestate=2\n", -1},  // names are exact
    };
    int padding = 0;
    for (const auto& entry : cases) {
        // Each file differs in size, so a store cached from the previous case cannot match it.
        env.SetUserSettings("[General]\n" + entry.stored + ";" + QByteArray(40 * ++padding, ' ') + "\n");
        EXPECT_EQ(CSettingsStore::LoadModeState(), entry.expected) << entry.stored.constData();
    }
}

TEST_F(SettingsStoreTest, MachineValuesComeFromTheFirstConfigurationFolder)
{
    env.SetMachineSettings("[General]\nArrayMic=0\nVersion=1.0.0.2 (build 7)\n");
    EXPECT_EQ(CSettingsStore::LoadArrayMic(), 0);
    EXPECT_EQ(CSettingsStore::LoadVersion(), QStringLiteral("1.0.0.2 (build 7)"));
    // The user's own store never stands in for the machine's.
    env.SetUserSettings("[General]\nArrayMic=5\n");
    EXPECT_EQ(CSettingsStore::LoadArrayMic(), 0);
}

TEST_F(SettingsStoreTest, VersionIsShownAsWrittenUpToTwoHundredFiftyFiveBytesLongerIsEmpty)
{
    const QByteArray exact(255, 'v');
    env.SetMachineSettings("[General]\nVersion=" + exact + "\n");
    EXPECT_EQ(CSettingsStore::LoadVersion().size(), 255);
    env.SetMachineSettings("[General]\nVersion=" + exact + "w\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QString());
    // Counted in bytes: 128 two-byte characters are 256 bytes.
    env.SetMachineSettings("[General]\nVersion=" + QString(128, QChar(0xE9)).toUtf8() + "\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QString());
    // Shown as written, commas, semicolons and quotes included.
    env.SetMachineSettings("[General]\nVersion=Corvana 1.0, build 2\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QStringLiteral("Corvana 1.0, build 2"));
    env.SetMachineSettings("ArrayMic=0\r\nVersion = 1.0;2 \"beta\"\r\n[Other]\nVersion=elsewhere\n");
    EXPECT_EQ(CSettingsStore::LoadVersion(), QStringLiteral("1.0;2 \"beta\""));
}

TEST_F(SettingsStoreTest, BrokenStoresReadAsMissingAndAreNeverRewritten)
{
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>((i * 7919) & 0xFF));
    const QByteArray huge = "[General]\nModeState=2\n" + QByteArray(1 << 20, 'x') + "\n";
    const QByteArray empty;
    for (const QByteArray& broken : {binary, huge}) {
        env.SetUserSettings(broken);
        EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
        qInstallMessageHandler(CollectDebug);
        CSettingsStore::SaveModeState(1);
        qInstallMessageHandler(nullptr);
        EXPECT_TRUE(g_debugLines.contains(QStringLiteral("save registry error")));
        EXPECT_EQ(TestEnvironment::ReadFile(env.UserSettings()), broken) << "a broken store was replaced";
        g_debugLines.clear();
    }
    env.SetUserSettings(empty);
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
    CSettingsStore::SaveModeState(1);
    EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
}

TEST_F(SettingsStoreTest, UnwritableStoreReportsTheDebugLine)
{
    // A folder where the file should be cannot be written.
    QDir().mkpath(env.UserSettings());
    qInstallMessageHandler(CollectDebug);
    CSettingsStore::SaveModeState(2);
    qInstallMessageHandler(nullptr);
    EXPECT_TRUE(g_debugLines.contains(QStringLiteral("save registry error")));
    EXPECT_EQ(CSettingsStore::LoadModeState(), -1);
}

} // namespace
