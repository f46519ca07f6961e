// The file list against real folders, real processes holding files open and real message boxes.
#include "library/CMediaListBox.h"
#include "library/ExclusiveFile.h"
#include "library/FolderListing.h"
#include "library/MediaFolders.h"

#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvana;

namespace {

const QString kConfirm = QStringLiteral("Cancel the file?");
const QString kInUse = QStringLiteral("This file is used by other application");
const QString kBusyText = QString::fromStdString(std::generic_category().message(EBUSY));

// Another process with the file open: reading (a player) or appending (a recorder).
class FileHolder {
public:
    enum class Access { Read, Write };
    FileHolder(const QString& path, Access access)
    {
        const QString redirect = access == Access::Read ? QStringLiteral("<") : QStringLiteral(">>");
        const int fd = access == Access::Read ? 0 : 1;
        m_process.start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"), QStringLiteral("exec sleep 300 %1 \"$1\"").arg(redirect), QStringLiteral("holder"), path});
        const QString link = QStringLiteral("/proc/%1/fd/%2");
        m_holding = m_process.waitForStarted(5000) && QTest::qWaitFor([&] {
            return QFileInfo(link.arg(m_process.processId()).arg(fd)).symLinkTarget() == QFileInfo(path).absoluteFilePath();
        }, 5000);
    }
    ~FileHolder()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool IsHolding() const { return m_holding; }

private:
    QProcess m_process;
    bool m_holding = false;
};

struct SeenMenu {
    QString title;
    QStringList actions;
};

class MediaListBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MediaFolders::CreateAll();
        m_solo = MediaFolders::ModeFolder(MediaMode::Solo);
        m_list.SetMode(ToInt(MediaMode::Solo));
        m_list.resize(300, 200);
        m_list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_list));
    }

    QString SoloPattern() const { return m_solo + QStringLiteral("*.wma"); }
    void Create(const QString& name, const QByteArray& content = "data") const
    {
        TestEnvironment::WriteFile(m_solo + name, content);
    }
    bool Exists(const QString& name) const { return QFileInfo::exists(m_solo + name); }
    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < m_list.GetCount(); ++i)
            items << m_list.GetText(i);
        return items;
    }
    int RowOf(const QString& name) const { return int(Items().indexOf(name)); }
    void Fill() { m_list.FillList(SoloPattern()); }
    void PressDelete() { QTest::keyClick(&m_list, Qt::Key_Delete); }

    // Right-clicks `row` and, when a menu comes up, chooses its item or closes it.
    std::optional<SeenMenu> RightClick(int row, bool choose)
    {
        std::optional<SeenMenu> seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || seen)
                return;
            SeenMenu found{menu->title(), {}};
            for (QAction* action : menu->actions())
                found.actions << action->text();
            seen = found;
            if (choose && !menu->actions().isEmpty())
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().first()).center());
            else
                menu->close();
        });
        poll.start(10);
        const QPoint at = row >= 0 ? m_list.visualItemRect(m_list.item(row)).center() : QPoint(5, 5);
        QTest::mouseClick(m_list.viewport(), Qt::RightButton, {}, at);
        return seen;
    }

    TestEnvironment m_env;
    QString m_solo;
    CMediaListBox m_list;
    std::unique_ptr<MessageBoxWatcher> m_watcher = std::make_unique<MessageBoxWatcher>(QMessageBox::Ok);
    MessageBoxWatcher& m_boxes = *m_watcher;
};

TEST_F(MediaListBoxTest, ListsMatchingNamesSortedWithoutCaseAndSelectsTheLast)
{
    Create(QStringLiteral("061231-235905.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("Holiday Copy.WMA"));
    Create(QStringLiteral("b.wma"));
    Create(QStringLiteral("a2.Wma"));
    Create(QStringLiteral("other.wmv"));
    Create(QStringLiteral("note.wma.txt"));
    Create(QStringLiteral("wma"));
    Fill();
    EXPECT_EQ(Items(), (QStringList{QStringLiteral("061230-120000.wma"), QStringLiteral("061231-235905.wma"),
                                    QStringLiteral("070101-000000.wma"), QStringLiteral("a2.Wma"), QStringLiteral("b.wma"),
                                    QStringLiteral("Holiday Copy.WMA")}));
    EXPECT_EQ(m_list.GetCurSel(), 5);
    EXPECT_EQ(m_list.currentRow(), 5);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(MediaListBoxTest, RefillReplacesContentAndSelectsTheNewestAgain)
{
    Create(QStringLiteral("061231-235905.wma"));
    Create(QStringLiteral("061230-120000.wma"));
    Fill();
    EXPECT_EQ(m_list.SetCurSel(0), 0);
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    EXPECT_EQ(m_list.GetCount(), 3);
    EXPECT_EQ(m_list.GetCurSel(), 2);
    EXPECT_EQ(m_list.GetText(2), QStringLiteral("070101-000000.wma"));

    // Another mode's folder replaces everything.
    m_list.FillList(MediaFolders::ModeFolder(MediaMode::Video) + MediaFolders::ListingPattern(MediaMode::Video));
    EXPECT_EQ(m_list.GetCount(), 0);
    EXPECT_EQ(m_list.GetCurSel(), -1);
}

TEST_F(MediaListBoxTest, EmptyOrMissingFolderGivesNoSelectionAndNoMessage)
{
    Fill();
    EXPECT_EQ(m_list.GetCount(), 0);
    EXPECT_EQ(m_list.GetCurSel(), -1);
    m_list.FillList(m_env.Root() + QStringLiteral("/absent/*.wma"));
    EXPECT_EQ(m_list.GetCount(), 0);
    EXPECT_EQ(m_list.GetCurSel(), -1);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(MediaListBoxTest, StandardQueriesAndTypeAhead)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("alpha.wma"));
    Create(QStringLiteral("beta.wma"));
    Create(QStringLiteral("gamma.wma"));
    Fill();
    EXPECT_EQ(m_list.GetText(7), QString());
    EXPECT_EQ(m_list.SetCurSel(9), -1);
    EXPECT_EQ(m_list.GetCurSel(), -1);
    EXPECT_EQ(m_list.SetCurSel(0), 0);
    QTest::keyClick(&m_list, Qt::Key_B);
    EXPECT_EQ(m_list.GetText(m_list.GetCurSel()), QStringLiteral("beta.wma"));
    QTest::keyClick(&m_list, Qt::Key_End);
    EXPECT_EQ(m_list.GetCurSel(), 3);
    QTest::keyClick(&m_list, Qt::Key_Down);
    EXPECT_EQ(m_list.GetCurSel(), 3);
    QTest::keyClick(&m_list, Qt::Key_Home);
    QTest::keyClick(&m_list, Qt::Key_Up);
    EXPECT_EQ(m_list.GetCurSel(), 0);
}

TEST_F(MediaListBoxTest, DoubleClickWithTheLeftButtonIsReported)
{
    Create(QStringLiteral("061230-120000.wma"));
    Fill();
    QSignalSpy spy(&m_list, &CMediaListBox::DoubleClicked);
    const QPoint at = m_list.visualItemRect(m_list.item(0)).center();
    QTest::mouseClick(m_list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(spy.count(), 1);
    QTest::mouseDClick(m_list.viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(MediaListBoxTest, DeleteKeyWithOkRemovesTheFileAndSelectsTheLast)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("061231-235905.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(1);
    PressDelete();
    ASSERT_EQ(m_boxes.Seen().size(), 1);
    const SeenMessageBox& box = m_boxes.Seen().first();
    EXPECT_EQ(box.caption, QStringLiteral("Corvana"));
    EXPECT_EQ(box.text, kConfirm);
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_FALSE(Exists(QStringLiteral("061231-235905.wma")));
    EXPECT_EQ(Items(), (QStringList{QStringLiteral("061230-120000.wma"), QStringLiteral("070101-000000.wma")}));
    EXPECT_EQ(m_list.GetCurSel(), 1);
}

TEST_F(MediaListBoxTest, DeleteKeyWithCancelKeepsTheFileButRefills)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    m_boxes.SetAnswer(QMessageBox::Cancel);
    PressDelete();
    EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
    EXPECT_TRUE(Exists(QStringLiteral("061230-120000.wma")));
    EXPECT_EQ(m_list.GetCount(), 2);
    EXPECT_EQ(m_list.GetCurSel(), 1);
}

TEST_F(MediaListBoxTest, DeleteKeyDoesNothingWithoutSelectionOrMode)
{
    PressDelete();
    Create(QStringLiteral("061230-120000.wma"));
    Fill();
    m_list.SetCurSel(-1);
    PressDelete();
    m_list.SetCurSel(0);
    m_list.SetMode(4);
    PressDelete();
    QTest::qWait(50);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
    EXPECT_TRUE(Exists(QStringLiteral("061230-120000.wma")));
}

TEST_F(MediaListBoxTest, DeleteKeyRefusesAFileOpenInAnotherProcessAndStops)
{
    for (FileHolder::Access access : {FileHolder::Access::Read, FileHolder::Access::Write}) {
        m_boxes.Clear();
        Create(QStringLiteral("061230-120000.wma"));
        Create(QStringLiteral("070101-000000.wma"), "being written");
        Fill();
        const FileHolder holder(m_solo + QStringLiteral("070101-000000.wma"), access);
        ASSERT_TRUE(holder.IsHolding());
        m_list.SetCurSel(1);
        Create(QStringLiteral("080101-000000.wma"));  // appears only if the list were refilled
        PressDelete();
        ASSERT_EQ(m_boxes.Seen().size(), 2);
        const SeenMessageBox& report = m_boxes.Seen().at(1);
        EXPECT_EQ(report.caption, QStringLiteral("Corvana"));
        EXPECT_TRUE(report.text.contains(m_solo + QStringLiteral("070101-000000.wma"))) << report.text.toStdString();
        EXPECT_TRUE(report.text.contains(kBusyText)) << report.text.toStdString();
        EXPECT_EQ(report.icon, QMessageBox::Warning);
        EXPECT_EQ(report.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(TestEnvironment::ReadFile(m_solo + QStringLiteral("070101-000000.wma")), QByteArray("being written"));
        EXPECT_EQ(m_list.GetCount(), 2);
        EXPECT_EQ(m_list.GetCurSel(), 1);
        QFile::remove(m_solo + QStringLiteral("080101-000000.wma"));
    }
}

TEST_F(MediaListBoxTest, DeleteKeyReportsAFileThatIsAlreadyGone)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    QFile::remove(m_solo + QStringLiteral("061230-120000.wma"));
    PressDelete();
    ASSERT_EQ(m_boxes.Seen().size(), 2);
    EXPECT_TRUE(m_boxes.Seen().at(1).text.contains(QString::fromStdString(std::generic_category().message(ENOENT))));
    EXPECT_EQ(m_list.GetCount(), 2);
    EXPECT_EQ(m_list.GetCurSel(), 0);
}

TEST_F(MediaListBoxTest, FileOpenInThisProcessIsInUseOnBothPaths)
{
    Create(QStringLiteral("061230-120000.wma"), "recording");
    Fill();
    QFile recording(m_solo + QStringLiteral("061230-120000.wma"));
    ASSERT_TRUE(recording.open(QIODevice::Append));
    PressDelete();
    ASSERT_EQ(m_boxes.Seen().size(), 2);
    EXPECT_TRUE(m_boxes.Seen().at(1).text.contains(kBusyText));
    m_boxes.Clear();
    ASSERT_TRUE(RightClick(0, true).has_value());
    EXPECT_EQ(m_boxes.Texts(), (QStringList{kConfirm, kInUse}));
    EXPECT_TRUE(Exists(QStringLiteral("061230-120000.wma")));
}

TEST_F(MediaListBoxTest, ContextMenuHasOneDeleteItemAndRemovesTheFile)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("061231-235905.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    const std::optional<SeenMenu> menu = RightClick(0, true);
    ASSERT_TRUE(menu.has_value());
    EXPECT_EQ(menu->title, QStringLiteral("Delete"));
    EXPECT_EQ(menu->actions, QStringList{QStringLiteral("delete")});
    ASSERT_EQ(m_boxes.Seen().size(), 1);
    EXPECT_EQ(m_boxes.Seen().first().text, kConfirm);
    EXPECT_EQ(m_boxes.Seen().first().icon, QMessageBox::Warning);
    EXPECT_EQ(m_boxes.Seen().first().buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_FALSE(Exists(QStringLiteral("061230-120000.wma")));
    EXPECT_EQ(m_list.GetCount(), 2);
    EXPECT_EQ(m_list.GetCurSel(), 1);  // the last, not the neighbour of the deleted one
}

TEST_F(MediaListBoxTest, ContextMenuActsOnTheSelectedItemNotTheClickedOne)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("061231-235905.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    ASSERT_TRUE(RightClick(2, true).has_value());
    EXPECT_FALSE(Exists(QStringLiteral("061230-120000.wma")));
    EXPECT_TRUE(Exists(QStringLiteral("070101-000000.wma")));
}

TEST_F(MediaListBoxTest, ContextMenuWithCancelKeepsTheFileButRefills)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    m_boxes.SetAnswer(QMessageBox::Cancel);
    ASSERT_TRUE(RightClick(0, true).has_value());
    EXPECT_TRUE(Exists(QStringLiteral("061230-120000.wma")));
    EXPECT_EQ(m_list.GetCurSel(), 1);
}

TEST_F(MediaListBoxTest, NoContextMenuWithoutSelection)
{
    EXPECT_FALSE(RightClick(-1, false).has_value());
    Create(QStringLiteral("061230-120000.wma"));
    Fill();
    m_list.SetCurSel(-1);
    EXPECT_FALSE(RightClick(0, false).has_value());
    EXPECT_EQ(m_list.GetCurSel(), -1);  // the right button does not select
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(MediaListBoxTest, ContextMenuRefusesAFileOpenInAnotherProcessAndRefills)
{
    for (FileHolder::Access access : {FileHolder::Access::Read, FileHolder::Access::Write}) {
        m_boxes.Clear();
        Create(QStringLiteral("061230-120000.wma"), "playing");
        Create(QStringLiteral("070101-000000.wma"));
        Fill();
        const FileHolder holder(m_solo + QStringLiteral("061230-120000.wma"), access);
        ASSERT_TRUE(holder.IsHolding());
        m_list.SetCurSel(0);
        ASSERT_TRUE(RightClick(0, true).has_value());
        ASSERT_EQ(m_boxes.Seen().size(), 2);
        const SeenMessageBox& report = m_boxes.Seen().at(1);
        EXPECT_EQ(report.text, kInUse);
        EXPECT_EQ(report.caption, QStringLiteral("Corvana"));
        EXPECT_EQ(report.icon, QMessageBox::Warning);
        EXPECT_EQ(report.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(TestEnvironment::ReadFile(m_solo + QStringLiteral("061230-120000.wma")), QByteArray("playing"));
        EXPECT_EQ(m_list.GetCurSel(), 1);
    }
}

TEST_F(MediaListBoxTest, ContextMenuCallsAVanishedFileInUse)
{
    Create(QStringLiteral("061230-120000.wma"));
    Create(QStringLiteral("070101-000000.wma"));
    Fill();
    m_list.SetCurSel(0);
    QFile::remove(m_solo + QStringLiteral("061230-120000.wma"));
    ASSERT_TRUE(RightClick(0, true).has_value());
    EXPECT_EQ(m_boxes.Texts(), (QStringList{kConfirm, kInUse}));
    EXPECT_EQ(Items(), QStringList{QStringLiteral("070101-000000.wma")});
}

TEST_F(MediaListBoxTest, ModeSwitchDuringTheQuestionDeletesTheAskedFileAndRefillsItsMode)
{
    Create(QStringLiteral("061230-120000.wma"));
    TestEnvironment::WriteFile(MediaFolders::ModeFolder(MediaMode::Video) + QStringLiteral("061230-120000.wmv"), "video");
    Fill();
    m_list.SetCurSel(0);
    // While the question is open the dialog switches to Video, then the user answers OK.
    m_watcher.reset();
    QTimer switcher;
    bool switched = false;
    QObject::connect(&switcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || switched)
            return;
        switched = true;
        m_list.SetMode(ToInt(MediaMode::Video));
        m_list.FillList(MediaFolders::ModeFolder(MediaMode::Video) + MediaFolders::ListingPattern(MediaMode::Video));
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
    });
    switcher.start(10);
    PressDelete();
    EXPECT_TRUE(switched);
    EXPECT_FALSE(Exists(QStringLiteral("061230-120000.wma")));
    EXPECT_TRUE(QFileInfo::exists(MediaFolders::ModeFolder(MediaMode::Video) + QStringLiteral("061230-120000.wmv")));
    EXPECT_EQ(m_list.GetCount(), 0);  // the Solo folder, now empty
}

// Names are data: each is listed and deleted exactly, or not listed at all.
TEST_F(MediaListBoxTest, StrangeNamesAreHandledExactlyOrNotListed)
{
    const QList<QByteArray> strange = {
        "a b.wma", "it's \"quoted\".wma", "$(touch pwned).wma", "`touch pwned`.wma", "-rf.wma", "--help.wma",
        "line\nbreak.wma", "tab\there.wma", "caf\xc3\xa9.wma", "\xef\xbf\xbd.wma", " lead.wma", "*.wma", "?.wma"};
    const QList<QByteArray> decoys = {"a.wma", "b.wma", "rf.wma", "line.wma", "break.wma", "lead.wma", "x.wma"};
    const QList<QByteArray> invalid = {"\xff\xfe.wma", "latin1-\xe9.wma"};
    const QByteArray folder = QFile::encodeName(m_solo);
    std::set<QByteArray> onDisk;
    for (const QList<QByteArray>* names : {&strange, &decoys, &invalid}) {
        for (const QByteArray& name : *names) {
            const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0) << name.constData();
            ASSERT_EQ(::write(fd, name.constData(), size_t(name.size())), name.size());
            ::close(fd);
            onDisk.insert(name);
        }
    }
    Fill();
    std::set<QByteArray> listed;
    for (const QString& item : Items())
        listed.insert(QFile::encodeName(item));
    std::set<QByteArray> expected(strange.begin(), strange.end());
    expected.insert(decoys.begin(), decoys.end());
    EXPECT_EQ(listed, expected);

    for (const QByteArray& name : strange) {
        m_boxes.Clear();
        const int row = RowOf(QFile::decodeName(name));
        ASSERT_GE(row, 0) << name.constData();
        m_list.SetCurSel(row);
        if (name.startsWith('-')) {
            ASSERT_TRUE(RightClick(row, true).has_value());
        } else {
            PressDelete();
        }
        EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm}) << name.constData();
        onDisk.erase(name);
        struct stat info {};
        EXPECT_NE(::stat((folder + name).constData(), &info), 0) << name.constData();
        // Everything else is still there with its own content.
        for (const QByteArray& other : onDisk) {
            QFile file(QFile::decodeName(folder + other));
            if (QFile::encodeName(file.fileName()) == folder + other && file.open(QIODevice::ReadOnly)) {
                EXPECT_EQ(file.readAll(), other);
            }
            EXPECT_EQ(::stat((folder + other).constData(), &info), 0) << other.constData();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(m_solo + QStringLiteral("pwned")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
    // The temporary folder's removal goes through text names; take the unlisted ones away here.
    for (const QByteArray& name : invalid)
        EXPECT_EQ(::unlink((folder + name).constData()), 0);
}

TEST_F(MediaListBoxTest, LongMediaPathsWork)
{
    const QString deep = m_env.Home() + QLatin1Char('/') + QString(150, QLatin1Char('h')) + QLatin1Char('/')
        + QString(150, QLatin1Char('i'));
    QDir().mkpath(deep);
    TestEnvironment::Set("HOME", deep);
    MediaFolders::CreateAll();
    const QString solo = MediaFolders::ModeFolder(MediaMode::Solo);
    ASSERT_GT(solo.size(), 300);
    const QString name = QString(200, QLatin1Char('n')) + QStringLiteral(".wma");
    TestEnvironment::WriteFile(solo + QStringLiteral("061230-120000.wma"), "a");
    TestEnvironment::WriteFile(solo + name, "b");
    m_list.FillList(solo + QStringLiteral("*.wma"));
    ASSERT_EQ(m_list.GetCount(), 2);
    EXPECT_EQ(m_list.GetText(1), name);
    PressDelete();
    EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
    EXPECT_FALSE(QFileInfo::exists(solo + name));
    EXPECT_EQ(m_list.GetCount(), 1);
}

// A folder deeper than the kernel takes in one path (PATH_MAX) is walked one folder at a time.
TEST(LongPathTest, FolderBeyondPathMaxIsListedAndItsFilesRemoved)
{
    TestEnvironment env;
    QString folder = env.Root();
    QByteArray component(200, 'p');
    const int root = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY);
    ASSERT_GE(root, 0);
    int dir = ::dup(root);
    std::vector<int> chain;
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::mkdirat(dir, component.constData(), 0755), 0);
        chain.push_back(dir);
        dir = ::openat(dir, component.constData(), O_PATH | O_DIRECTORY);
        ASSERT_GE(dir, 0);
        folder += QLatin1Char('/') + QString::fromLatin1(component);
    }
    ASSERT_GT(folder.size(), 5000);
    for (const char* name : {"061230-120000.wma", "070101-000000.WMA", "skip.wmv"}) {
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    QStringList names = FolderListing::Matching(folder + QStringLiteral("/*.wma"));
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("061230-120000.wma"), QStringLiteral("070101-000000.WMA")}));

    ExclusiveFile file(folder + QStringLiteral("/061230-120000.wma"));
    ASSERT_TRUE(file.IsHeld()) << file.Error();
    EXPECT_EQ(file.Remove(), 0);
    EXPECT_EQ(ExclusiveFile::RemovePath(folder + QStringLiteral("/070101-000000.WMA")), 0);
    EXPECT_EQ(FolderListing::Matching(folder + QStringLiteral("/*.wma")), QStringList());

    // The temporary folder's own removal works with whole paths; clear the deep part here.
    EXPECT_EQ(::unlinkat(dir, "skip.wmv", 0), 0);
    ::close(dir);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        EXPECT_EQ(::unlinkat(*it, component.constData(), AT_REMOVEDIR), 0);
        ::close(*it);
    }
    ::close(root);
}

TEST(WildcardTest, MatchesLikeTheListingPatterns)
{
    EXPECT_TRUE(FolderListing::WildcardMatch(u"061231-235905.wma", u"*.wma"));
    EXPECT_TRUE(FolderListing::WildcardMatch(u"X.WMA", u"*.wma"));
    EXPECT_TRUE(FolderListing::WildcardMatch(u".wma", u"*.wma"));
    EXPECT_TRUE(FolderListing::WildcardMatch(u"a.wma.wma", u"*.wma"));
    EXPECT_FALSE(FolderListing::WildcardMatch(u"a.wmav", u"*.wma"));
    EXPECT_FALSE(FolderListing::WildcardMatch(u"a.wm", u"*.wma"));
    EXPECT_FALSE(FolderListing::WildcardMatch(u"awma", u"*.wma"));
    EXPECT_TRUE(FolderListing::WildcardMatch(u"ab.jpg", u"a?.JPG"));
    EXPECT_FALSE(FolderListing::WildcardMatch(u"abc.jpg", u"a?.jpg"));
    EXPECT_TRUE(FolderListing::WildcardMatch(u"\u00c9T\u00c9.WMV", u"\u00e9t\u00e9.*"));
}

} // namespace
