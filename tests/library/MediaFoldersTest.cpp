// Time-stamped capture names: the stem at the edge dates, and two captures begun in one second.
#include "library/CMediaListBox.h"
#include "library/MediaFolders.h"

#include "TestEnvironment.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

class MediaFoldersTest : public ::testing::Test {
protected:
    void SetUp() override { MediaFolders::CreateAll(); }
    void TearDown() override { SetTimestampClock({}); }

    static void FreezeClock(const QDateTime& at)
    {
        SetTimestampClock([at] { return at; });
    }
    static QDateTime Local(int y, int mo, int d, int h, int mi, int s)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
    }

    TestEnvironment m_env;
};

TEST_F(MediaFoldersTest, CapturesAreNamedAfterTheClockReservedNeverSharedAndSortInOrder)
{
    FreezeClock(Local(2006, 12, 31, 23, 59, 5));
    const QString first = MakeTimestampedPath(QStringLiteral("wma"), QStringLiteral("AudioSolo"));
    // Named after the clock and reserved at once, empty.
    EXPECT_TRUE(QFileInfo(first).isFile());
    EXPECT_EQ(QFileInfo(first).size(), 0);
    TestEnvironment::WriteFile(first, "first recording");
    const QString second = MakeTimestampedPath(QStringLiteral("wma"), QStringLiteral("AudioSolo"));
    const QString third = MakeTimestampedPath(QStringLiteral("wma"), QStringLiteral("AudioSolo"));
    const QString solo = m_env.MediaFolder(QStringLiteral("AudioSolo"));
    EXPECT_EQ(first, solo + QStringLiteral("061231-235905.wma"));
    EXPECT_EQ(second, solo + QStringLiteral("061231-235905_2.wma"));
    EXPECT_EQ(third, solo + QStringLiteral("061231-235905_3.wma"));
    EXPECT_EQ(TestEnvironment::ReadFile(first), QByteArray("first recording"));

    // A capture of the next second sorts after both, and the list shows them in capture order.
    FreezeClock(Local(2006, 12, 31, 23, 59, 6));
    const QString next = MakeTimestampedPath(QStringLiteral("wma"), QStringLiteral("AudioSolo"));
    CMediaListBox list;
    list.FillList(solo + QStringLiteral("*.wma"));
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetText(2), QStringLiteral("061231-235905_3.wma"));
    EXPECT_EQ(list.GetText(3), QFileInfo(next).fileName());
}

TEST_F(MediaFoldersTest, PhotoStemAvoidsEveryExtensionOfTheStem)
{
    FreezeClock(Local(2007, 1, 1, 0, 0, 0));
    const QString photo = m_env.MediaFolder(QStringLiteral("Photo"));
    TestEnvironment::WriteFile(photo + QStringLiteral("070101-000000.jpg"), "earlier photo");
    const QString stem = MakeTimestampedStem(photo, {QStringLiteral("bmp"), QStringLiteral("jpg")});
    EXPECT_EQ(stem, photo + QStringLiteral("070101-000000_2"));
    EXPECT_TRUE(QFileInfo(stem + QStringLiteral(".bmp")).isFile());
    EXPECT_EQ(TestEnvironment::ReadFile(photo + QStringLiteral("070101-000000.jpg")), QByteArray("earlier photo"));
}

} // namespace
