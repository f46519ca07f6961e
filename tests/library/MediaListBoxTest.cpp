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
const QString kOld = QStringLiteral("061230-120000.wma");
const QString kMid = QStringLiteral("061231-235905.wma");
const QString kNew = QStringLiteral("070101-000000.wma");

QString ErrorText(int error) { return QString::fromStdString(std::generic_category().message(error)); }

// Who has the file open: another process reading it (a player) or appending to it (a recorder),
// or nobody because the file has vanished.
enum class Holder { OtherReader, OtherWriter, Vanished };

class FileHolder {
public:
    FileHolder(const QString& path, Holder holder)
    {
        if (holder == Holder::Vanished) {
            m_holding = QFile::remove(path);
            return;
        }
        const bool read = holder == Holder::OtherReader;
        m_process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                                    QStringLiteral("exec sleep 300 %1 \"$1\"").arg(read ? "<" : ">>"),
                                                    QStringLiteral("holder"), path});
        const QString link = QStringLiteral("/proc/%1/fd/%2");
        m_holding = m_process.waitForStarted(5000) && QTest::qWaitFor([&] {
            return QFileInfo(link.arg(m_process.processId()).arg(read ? 0 : 1)).symLinkTarget()
                == QFileInfo(path).absoluteFilePath();
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

enum class Via { Key, Menu };

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

    void Create(const QString& name, const QByteArray& content = "data") const
    {
        TestEnvironment::WriteFile(m_solo + name, content);
    }
    bool Exists(const QString& name) const { return QFileInfo::exists(m_solo + name); }
    void Fill() { m_list.FillList(m_solo + QStringLiteral("*.wma")); }
    void Fill(const QStringList& names)
    {
        for (const QString& name : names)
            Create(name);
        Fill();
    }
    // Empties the Solo folder and forgets the message boxes seen so far.
    void Reset()
    {
        for (const QString& name : QDir(m_solo).entryList(QDir::Files))
            QFile::remove(m_solo + name);
        m_boxes.Clear();
        m_boxes.SetAnswer(QMessageBox::Ok);
    }
    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < m_list.GetCount(); ++i)
            items << m_list.GetText(i);
        return items;
    }
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
            seen = SeenMenu{menu->title(), {}};
            for (QAction* action : menu->actions())
                seen->actions << action->text();
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

    // Deletes the selected file with the Delete key or through the context menu, opened over
    // `clickRow` (the selected row when negative).
    void Delete(Via via, int clickRow = -1)
    {
        if (via == Via::Key)
            return PressDelete();
        const std::optional<SeenMenu> menu = RightClick(clickRow >= 0 ? clickRow : m_list.GetCurSel(), true);
        ASSERT_TRUE(menu.has_value());
        EXPECT_EQ(menu->title, QStringLiteral("Delete"));
        EXPECT_EQ(menu->actions, QStringList{QStringLiteral("delete")});
    }

    static void ExpectWarning(const SeenMessageBox& box, QMessageBox::StandardButtons buttons)
    {
        EXPECT_EQ(box.caption, QStringLiteral("Corvana"));
        EXPECT_EQ(box.icon, QMessageBox::Warning);
        EXPECT_EQ(box.buttons, buttons);
    }

    TestEnvironment m_env;
    QString m_solo;
    CMediaListBox m_list;
    std::unique_ptr<MessageBoxWatcher> m_watcher = std::make_unique<MessageBoxWatcher>(QMessageBox::Ok);
    MessageBoxWatcher& m_boxes = *m_watcher;
};

TEST_F(MediaListBoxTest, FillListSortsMatchingNamesWithoutCaseAndSelectsTheLastOrNothing)
{
    m_list.FillList(m_env.Root() + QStringLiteral("/absent/*.wma"));
    EXPECT_EQ(m_list.GetCurSel(), -1);
    Fill({kMid, kOld, QStringLiteral("Holiday Copy.WMA"), QStringLiteral("b.wma"), QStringLiteral("other.wmv"),
          QStringLiteral("note.wma.txt")});
    m_list.SetCurSel(0);
    Fill({kNew});  // a refill replaces the content and selects the last again
    EXPECT_EQ(Items(), (QStringList{kOld, kMid, kNew, QStringLiteral("b.wma"), QStringLiteral("Holiday Copy.WMA")}));
    EXPECT_EQ(m_list.GetCurSel(), 4);
}

TEST_F(MediaListBoxTest, CtrlClickAndCtrlSpaceNeverLeaveTheListWithoutSelection)
{
    Fill({kOld, kMid});
    const QPoint selected = m_list.visualItemRect(m_list.item(1)).center();
    QTest::mouseClick(m_list.viewport(), Qt::LeftButton, Qt::ControlModifier, selected);
    EXPECT_EQ(m_list.GetCurSel(), 1);
    QTest::keyClick(&m_list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(m_list.GetCurSel(), 1);
}

TEST_F(MediaListBoxTest, DeleteAsksThenRemovesTheSelectedFileAndSelectsTheLast)
{
    for (const Via via : {Via::Key, Via::Menu}) {
        SCOPED_TRACE(via == Via::Key ? "Delete key" : "context menu");
        Reset();
        Fill({kOld, kMid, kNew});
        m_list.SetCurSel(0);
        m_boxes.SetAnswer(QMessageBox::Cancel);
        Delete(via);
        EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
        EXPECT_TRUE(Exists(kOld));
        EXPECT_EQ(m_list.GetCurSel(), 2);  // refilled all the same

        m_boxes.Clear();
        m_boxes.SetAnswer(QMessageBox::Ok);
        m_list.SetCurSel(0);
        Delete(via, 2);  // the menu acts on the selected item, not the clicked one
        ASSERT_EQ(m_boxes.Seen().size(), 1);
        EXPECT_EQ(m_boxes.Seen().first().text, kConfirm);
        ExpectWarning(m_boxes.Seen().first(), QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_FALSE(Exists(kOld));
        EXPECT_EQ(Items(), (QStringList{kMid, kNew}));
        EXPECT_EQ(m_list.GetCurSel(), 1);  // the last, not the neighbour of the deleted one
    }
}

TEST_F(MediaListBoxTest, NothingHappensWithoutSelectionOrMode)
{
    Fill({kOld});
    m_list.SetCurSel(-1);
    PressDelete();
    EXPECT_FALSE(RightClick(0, false).has_value());
    EXPECT_EQ(m_list.GetCurSel(), -1);  // the right button does not select
    m_list.SetCurSel(0);
    m_list.SetMode(4);
    PressDelete();
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
    EXPECT_TRUE(Exists(kOld));
}

// The Delete key reports the system's reason and stops; the menu calls every failure "in use"
// and refills.
TEST_F(MediaListBoxTest, FileOpenElsewhereOrVanishedIsReportedAndNothingIsLost)
{
    const QString decoy = QStringLiteral("080101-000000.wma");  // listed only after a refill
    for (const Via via : {Via::Key, Via::Menu}) {
        for (const Holder holder : {Holder::OtherReader, Holder::OtherWriter, Holder::Vanished}) {
            SCOPED_TRACE(testing::Message() << (via == Via::Key ? "Delete key" : "context menu") << ", holder "
                                            << int(holder));
            Reset();
            Create(kOld, "being used");
            Fill({kNew});
            const FileHolder hold(m_solo + kOld, holder);
            ASSERT_TRUE(hold.IsHolding());
            m_list.SetCurSel(0);
            Create(decoy);
            Delete(via);
            ASSERT_EQ(m_boxes.Seen().size(), 2);
            const SeenMessageBox& report = m_boxes.Seen().at(1);
            ExpectWarning(report, QMessageBox::Ok);
            if (holder != Holder::Vanished) {
                EXPECT_EQ(TestEnvironment::ReadFile(m_solo + kOld), QByteArray("being used"));
            }
            if (via == Via::Key) {
                EXPECT_TRUE(report.text.contains(m_solo + kOld)) << report.text.toStdString();
                EXPECT_TRUE(report.text.contains(ErrorText(holder == Holder::Vanished ? ENOENT : EBUSY)))
                    << report.text.toStdString();
                EXPECT_EQ(Items(), (QStringList{kOld, kNew}));
                EXPECT_EQ(m_list.GetCurSel(), 0);
            } else {
                EXPECT_EQ(report.text, kInUse);
                EXPECT_EQ(Items(), (holder == Holder::Vanished ? QStringList{kNew, decoy} : QStringList{kOld, kNew, decoy}));
                EXPECT_EQ(m_list.GetCurSel(), m_list.GetCount() - 1);
            }
        }
    }
}

TEST_F(MediaListBoxTest, ModeSwitchDuringTheQuestionDeletesTheAskedFileAndRefillsItsMode)
{
    const QString video = MediaFolders::ModeFolder(MediaMode::Video);
    TestEnvironment::WriteFile(video + QStringLiteral("061230-120000.wmv"), "video");
    Fill({kOld});
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
        m_list.FillList(video + MediaFolders::ListingPattern(MediaMode::Video));
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
    });
    switcher.start(10);
    PressDelete();
    EXPECT_TRUE(switched);
    EXPECT_FALSE(Exists(kOld));
    EXPECT_TRUE(QFileInfo::exists(video + QStringLiteral("061230-120000.wmv")));
    EXPECT_EQ(m_list.GetCount(), 0);  // the Solo folder, now empty
}

// Names are data: each is listed and deleted exactly, or not listed at all.
TEST_F(MediaListBoxTest, StrangeNamesAreHandledExactlyOrNotListed)
{
    const QList<QByteArray> strange = {"it's \"quoted\".wma", "$(touch pwned).wma", "-rf.wma", "line\nbreak.wma",
                                       "caf\xc3\xa9.wma", " lead.wma", "*.wma"};
    const QList<QByteArray> decoys = {"rf.wma", "line.wma", "break.wma", "lead.wma", "x.wma"};
    const QList<QByteArray> invalid = {"latin1-\xe9.wma"};
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
    std::set<QByteArray> listed, expected(strange.begin(), strange.end());
    for (const QString& item : Items())
        listed.insert(QFile::encodeName(item));
    expected.insert(decoys.begin(), decoys.end());
    EXPECT_EQ(listed, expected);

    for (const QByteArray& name : strange) {
        SCOPED_TRACE(name.constData());
        m_boxes.Clear();
        const int row = int(Items().indexOf(QFile::decodeName(name)));
        ASSERT_GE(row, 0);
        m_list.SetCurSel(row);
        Delete(name.startsWith('-') ? Via::Menu : Via::Key);
        EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
        onDisk.erase(name);
        struct stat info {};
        EXPECT_NE(::stat((folder + name).constData(), &info), 0);
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

} // namespace
