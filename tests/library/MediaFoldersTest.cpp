// Time-stamped capture names: the stem at the edge dates, and two captures begun in one second.
#include "library/MediaFolders.h"
#include "ui/CMediaListBox.h"

#include "TestEnvironment.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <memory>

using namespace corvana;

namespace {

TEST(MediaFoldersTest, CapturesAreNamedAfterTheClockReservedNeverSharedAndSortInOrder)
{
    const TestEnvironment env;
    MediaFolders::CreateAll();
    const std::shared_ptr<void> restore(nullptr, [](void*) { SetTimestampClock({}); });
    const auto freeze = [](QDate date, QTime time) { SetTimestampClock([at = QDateTime(date, time, Qt::LocalTime)] { return at; }); };
    const auto make = [] { return MakeTimestampedPath(QStringLiteral("wma"), QStringLiteral("AudioSolo")); };
    freeze({2006, 12, 31}, {23, 59, 5});
    const QString first = make();
    // Named after the clock and reserved at once, empty.
    EXPECT_TRUE(QFileInfo(first).isFile());
    EXPECT_EQ(QFileInfo(first).size(), 0);
    TestEnvironment::WriteFile(first, "first recording");
    const QString second = make(), third = make();
    const QString solo = env.MediaFolder(QStringLiteral("AudioSolo"));
    EXPECT_EQ(QStringList({first, second, third}),
              QStringList({solo + "061231-235905.wma", solo + "061231-235905_2.wma", solo + "061231-235905_3.wma"}));
    EXPECT_EQ(TestEnvironment::ReadFile(first), QByteArray("first recording"));

    // A capture of the next second sorts after both, and the list shows them in capture order.
    freeze({2006, 12, 31}, {23, 59, 6});
    const QString next = make();
    CMediaListBox list;
    list.FillList(solo + QStringLiteral("*.wma"));
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetText(2), QStringLiteral("061231-235905_3.wma"));
    EXPECT_EQ(list.GetText(3), QFileInfo(next).fileName());

    // A photo's stem is free under every extension it is written with.
    freeze({2007, 1, 1}, {0, 0});
    const QString photo = env.MediaFolder(QStringLiteral("Photo"));
    TestEnvironment::WriteFile(photo + QStringLiteral("070101-000000.jpg"), "earlier photo");
    const QString stem = MakeTimestampedStem(photo, {QStringLiteral("bmp"), QStringLiteral("jpg")});
    EXPECT_EQ(stem, photo + QStringLiteral("070101-000000_2"));
    EXPECT_TRUE(QFileInfo(stem + QStringLiteral(".bmp")).isFile());
    EXPECT_EQ(TestEnvironment::ReadFile(photo + QStringLiteral("070101-000000.jpg")), QByteArray("earlier photo"));
}

} // namespace
