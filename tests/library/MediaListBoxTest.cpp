// The file list against real folders, real processes holding files open and real message boxes.
#include "library/ExclusiveFile.h"
#include "library/FolderListing.h"
#include "library/MediaFolders.h"
#include "library/NativeName.h"
#include "ui/CMediaListBox.h"

#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"

#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

using namespace corvana;

namespace {

const QString kConfirm = QStringLiteral("Cancel the file?");
const QString kOld = QStringLiteral("061230-120000.wma");
const QString kMid = QStringLiteral("061231-235905.wma");
const QString kNew = QStringLiteral("070101-000000.wma");

// Another process with the file open, reading it (a player) or appending to it (a recorder); the
// QProcess kills it when it goes.
std::unique_ptr<QProcess> Hold(const QString& path, bool read)
{
    auto process = std::make_unique<QProcess>();
    read ? process->setStandardInputFile(path) : process->setStandardOutputFile(path, QIODevice::Append);
    process->start(QStringLiteral("sleep"), {QStringLiteral("300")});
    const QString fd = QStringLiteral("/proc/%1/fd/%2");
    EXPECT_TRUE(process->waitForStarted(5000) && QTest::qWaitFor([&] {
        return QFileInfo(fd.arg(process->processId()).arg(read ? 0 : 1)).symLinkTarget() == QFileInfo(path).absoluteFilePath();
    }, 5000)) << "nothing holds " << path.toStdString();
    return process;
}

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

    bool Exists(const QString& name) const { return QFileInfo::exists(m_solo + name); }
    // Empties the Solo folder, writes `names` (each holding its own name) and fills the list.
    void Fill(const QStringList& names)
    {
        for (const QString& name : QDir(m_solo).entryList(QDir::Files))
            QFile::remove(m_solo + name);
        for (const QString& name : names)
            TestEnvironment::WriteFile(m_solo + name, name.toUtf8());
        m_list.FillList(m_solo + QStringLiteral("*.wma"));
        m_boxes.Clear();
    }
    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < m_list.GetCount(); ++i)
            items << m_list.GetText(i);
        return items;
    }

    // Right-clicks `row`; a menu that comes up has its first item chosen, or is closed. Returns
    // the menu's title and items, nothing when no menu came up.
    std::optional<QStringList> RightClick(int row, bool choose)
    {
        std::optional<QStringList> seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || seen)
                return;
            seen = QStringList{menu->title()};
            for (QAction* action : menu->actions())
                *seen << action->text();
            if (choose && !menu->actions().isEmpty())
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().first()).center());
            else
                menu->close();
        });
        poll.start(10);
        QTest::mouseClick(m_list.viewport(), Qt::RightButton, {}, m_list.visualItemRect(m_list.item(row)).center());
        return seen;
    }

    // Deletes the selected file with the Delete key or through the context menu, opened over
    // `clickRow` (the selected row when negative).
    void Delete(Via via, int clickRow = -1)
    {
        if (via == Via::Key)
            return QTest::keyClick(&m_list, Qt::Key_Delete);
        EXPECT_EQ(RightClick(clickRow >= 0 ? clickRow : m_list.GetCurSel(), true),
                  (QStringList{QStringLiteral("Delete"), QStringLiteral("delete")}));
    }

    TestEnvironment m_env;
    QString m_solo;
    CMediaListBox m_list;
    std::unique_ptr<MessageBoxWatcher> m_watcher = std::make_unique<MessageBoxWatcher>(QMessageBox::Ok);
    MessageBoxWatcher& m_boxes = *m_watcher;
};

TEST_F(MediaListBoxTest, FillListSortsMatchingNamesThenDeleteAsksRemovesTheSelectedFileAndSelectsTheLast)
{
    m_list.FillList(m_env.Root() + QStringLiteral("/absent/*.wma"));
    EXPECT_EQ(m_list.GetCurSel(), -1);
    Fill({kMid, kOld, kNew, QStringLiteral("Holiday Copy.WMA"), QStringLiteral("b.wma"), QStringLiteral("other.wmv"),
          QStringLiteral("note.wma.txt")});
    EXPECT_EQ(Items(), (QStringList{kOld, kMid, kNew, QStringLiteral("b.wma"), QStringLiteral("Holiday Copy.WMA")}));
    EXPECT_EQ(m_list.GetCurSel(), 4);
    // Ctrl with a click or Space never leaves the list without a selection.
    QTest::mouseClick(m_list.viewport(), Qt::LeftButton, Qt::ControlModifier, m_list.visualItemRect(m_list.item(4)).center());
    QTest::keyClick(&m_list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(m_list.GetCurSel(), 4);

    for (const Via via : {Via::Key, Via::Menu}) {
        SCOPED_TRACE(via == Via::Key ? "Delete key" : "context menu");
        Fill({kOld, kMid, kNew});
        m_list.SetCurSel(0);
        m_boxes.SetAnswer(QMessageBox::Cancel);
        Delete(via);
        EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
        EXPECT_TRUE(Exists(kOld));
        EXPECT_EQ(m_list.GetCurSel(), 2); // refilled all the same

        m_boxes.Clear();
        m_boxes.SetAnswer(QMessageBox::Ok);
        m_list.SetCurSel(0);
        Delete(via, 2); // the menu acts on the selected item, not the clicked one
        ASSERT_EQ(m_boxes.Seen().size(), 1);
        const SeenMessageBox& box = m_boxes.Seen().first();
        EXPECT_TRUE(box.text == kConfirm && box.caption == QStringLiteral("Corvana") && box.icon == QMessageBox::Warning
                    && box.buttons == (QMessageBox::Ok | QMessageBox::Cancel)) << box.caption.toStdString() << ": " << box.text.toStdString();
        EXPECT_FALSE(Exists(kOld));
        EXPECT_EQ(Items(), (QStringList{kMid, kNew}));
        EXPECT_EQ(m_list.GetCurSel(), 1); // the last, not the neighbour of the deleted one
    }

    // Without a selection, or without a mode, nothing is asked or deleted.
    m_boxes.Clear();
    m_list.SetCurSel(-1);
    QTest::keyClick(&m_list, Qt::Key_Delete);
    EXPECT_FALSE(RightClick(0, false).has_value());
    EXPECT_EQ(m_list.GetCurSel(), -1); // the right button does not select
    m_list.SetCurSel(0);
    m_list.SetMode(4);
    QTest::keyClick(&m_list, Qt::Key_Delete);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
    EXPECT_TRUE(Exists(kMid));
}

// Held open by another reader or writer, or vanished: the Delete key reports the system's reason
// and stops; the menu calls every failure "in use" and refills.
TEST_F(MediaListBoxTest, FileOpenElsewhereOrVanishedIsReportedAndNothingIsLost)
{
    const QString decoy = QStringLiteral("080101-000000.wma"); // listed only after a refill
    for (const Via via : {Via::Key, Via::Menu}) {
        for (const int holder : {0, 1, 2}) {
            const bool vanished = holder == 2;
            SCOPED_TRACE(testing::Message() << (via == Via::Key ? "Delete key" : "context menu") << ", holder " << holder);
            Fill({kOld, kNew});
            std::unique_ptr<QProcess> hold;
            if (vanished)
                ASSERT_TRUE(QFile::remove(m_solo + kOld));
            else
                hold = Hold(m_solo + kOld, holder == 0);
            m_list.SetCurSel(0);
            TestEnvironment::WriteFile(m_solo + decoy, {});
            Delete(via);
            ASSERT_EQ(m_boxes.Seen().size(), 2);
            const SeenMessageBox& report = m_boxes.Seen().at(1);
            EXPECT_TRUE(report.icon == QMessageBox::Warning && report.buttons == QMessageBox::Ok);
            if (!vanished) {
                EXPECT_EQ(TestEnvironment::ReadFile(m_solo + kOld), kOld.toUtf8());
            }
            if (via == Via::Key) {
                const QString reason = QString::fromStdString(std::generic_category().message(vanished ? ENOENT : EBUSY));
                EXPECT_TRUE(report.text.contains(m_solo + kOld) && report.text.contains(reason)) << report.text.toStdString();
                EXPECT_EQ(Items(), (QStringList{kOld, kNew}));
                EXPECT_EQ(m_list.GetCurSel(), 0);
            } else {
                EXPECT_EQ(report.text, QStringLiteral("This file is used by other application"));
                EXPECT_EQ(Items(), (vanished ? QStringList{kNew, decoy} : QStringList{kOld, kNew, decoy}));
                EXPECT_EQ(m_list.GetCurSel(), m_list.GetCount() - 1);
            }
        }
    }
}

TEST_F(MediaListBoxTest, ModeSwitchDuringTheQuestionDeletesTheAskedFileAndRefillsItsMode)
{
    const QString video = MediaFolders::ModeFolder(MediaMode::Video) + QStringLiteral("061230-120000.wmv");
    TestEnvironment::WriteFile(video, "video");
    Fill({kOld});
    m_list.SetCurSel(0);
    // While the question is open the dialog switches to Video, then the user answers OK.
    m_watcher.reset();
    QTimer switcher;
    bool switched = false;
    QObject::connect(&switcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || std::exchange(switched, true))
            return;
        m_list.SetMode(ToInt(MediaMode::Video));
        m_list.FillList(QFileInfo(video).path() + QLatin1Char('/') + MediaFolders::ListingPattern(MediaMode::Video));
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
    });
    switcher.start(10);
    QTest::keyClick(&m_list, Qt::Key_Delete);
    EXPECT_TRUE(switched);
    EXPECT_FALSE(Exists(kOld));
    EXPECT_TRUE(QFileInfo::exists(video));
    EXPECT_EQ(m_list.GetCount(), 0); // the Solo folder, now empty
}

// Names are data: each is listed and deleted exactly, also one that is not valid UTF-8 (shown
// with a replacement character, next to files named as it is shown). A folder deeper than the
// kernel takes in one path (PATH_MAX) is walked one folder at a time.
TEST_F(MediaListBoxTest, StrangeNamesAndPathsBeyondPathMaxAreListedAndDeletedExactly)
{
    const QList<QByteArray> strange = {"it's \"quoted\".wma", "$(touch pwned).wma", "-rf.wma", "line\nbreak.wma",
                                       "caf\xc3\xa9.wma", " lead.wma", "*.wma", "latin1-\xe9.wma", "cut-\xe2\x82.wma",
                                       "overlong-\xc0\xaf.wma", "surrogate-\xed\xa0\x80.wma"};
    const QList<QByteArray> decoys = {"rf.wma", "line.wma", "break.wma", "lead.wma", "x.wma",
                                      "latin1-\xef\xbf\xbd.wma", "latin1-?.wma", "overlong-\xef\xbf\xbd\xef\xbf\xbd.wma"};
    const QByteArray folder = QFile::encodeName(m_solo);
    for (const QByteArray& name : strange + decoys) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name.constData();
        ASSERT_EQ(::write(fd, name.constData(), size_t(name.size())), name.size());
        ::close(fd);
    }
    m_list.FillList(m_solo + QStringLiteral("*.wma"));
    QList<QByteArray> listed, expected = strange + decoys;
    for (const QString& item : Items())
        listed << NativeName::Encode(item);
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    for (const QByteArray& name : strange) {
        SCOPED_TRACE(name.constData());
        m_boxes.Clear();
        const int row = int(Items().indexOf(NativeName::Decode(name)));
        ASSERT_GE(row, 0);
        const QString shown = m_list.item(row)->text();
        const bool valid = QString::fromUtf8(name).toUtf8() == name;
        EXPECT_EQ(QString::fromUtf8(shown.toUtf8()), shown) << "not text";
        EXPECT_EQ(shown.contains(QChar::ReplacementCharacter), !valid) << shown.toStdString();
        if (valid) {
            EXPECT_EQ(shown, QString::fromUtf8(name));
        } else if (name.startsWith("latin1")) {
            EXPECT_EQ(shown, QString::fromUtf8("latin1-\xef\xbf\xbd.wma"));
        }
        m_list.SetCurSel(row);
        Delete(name.startsWith('-') ? Via::Menu : Via::Key);
        EXPECT_EQ(m_boxes.Texts(), QStringList{kConfirm});
        EXPECT_NE(::access((folder + name).constData(), F_OK), 0);
    }
    // Every other file is still there with its own content, and no name ran as a command.
    for (const QByteArray& other : decoys)
        EXPECT_EQ(TestEnvironment::ReadFile(m_solo + QString::fromUtf8(other)), other);
    EXPECT_FALSE(QFileInfo::exists(m_solo + QStringLiteral("pwned")) || QFileInfo::exists(QStringLiteral("pwned")));

    const QString top = m_env.Root() + QStringLiteral("/deep");
    QString deep = top;
    const QString component(200, QLatin1Char('p'));
    int dir = ::open(QFile::encodeName(m_env.Root()).constData(), O_PATH | O_DIRECTORY);
    for (int i = 0; i <= 25 && dir >= 0; ++i) {
        const QByteArray name = i == 0 ? "deep" : QFile::encodeName(component);
        ASSERT_EQ(::mkdirat(dir, name.constData(), 0755), 0);
        const int next = ::openat(dir, name.constData(), O_PATH | O_DIRECTORY);
        ::close(dir);
        dir = next;
        deep += i == 0 ? QString() : QLatin1Char('/') + component;
    }
    ASSERT_GE(dir, 0);
    ASSERT_GT(deep.size(), 5000);
    for (const char* name : {"061230-120000.wma", "070101-000000.WMA", "skip.wmv"})
        ::close(::openat(dir, name, O_WRONLY | O_CREAT, 0644));
    ::close(dir);
    QStringList names = FolderListing::Matching(deep + QStringLiteral("/*.wma"));
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("061230-120000.wma"), QStringLiteral("070101-000000.WMA")}));
    ExclusiveFile file(deep + QStringLiteral("/061230-120000.wma"));
    ASSERT_TRUE(file.IsHeld()) << file.Error();
    EXPECT_EQ(file.Remove(), 0);
    EXPECT_EQ(ExclusiveFile::RemovePath(deep + QStringLiteral("/070101-000000.WMA")), 0);
    EXPECT_EQ(FolderListing::Matching(deep + QStringLiteral("/*.wma")), QStringList());
    // The temporary folder's own removal works with whole paths; rm walks the deep part itself.
    EXPECT_EQ(QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), top}), 0);
}

} // namespace
