#include "ui/CMediaListBox.h"

#include "library/ExclusiveFile.h"
#include "library/FolderListing.h"
#include "library/MediaFolders.h"
#include "library/NativeName.h"
#include "support/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace corvana {

namespace {

const char* const kConfirmText = QT_TRANSLATE_NOOP("CMediaListBox", "Cancel the file?");
const char* const kInUseText = QT_TRANSLATE_NOOP("CMediaListBox", "This file is used by other application");

constexpr int kNameRole = Qt::UserRole;

QString Translated(const char* text) { return QCoreApplication::translate("CMediaListBox", text); }

// Ascending without regard to case; names that differ only in case are distinct files here and
// keep a stable order.
QStringList SortedWithoutCase(const QStringList& names)
{
    struct Entry {
        QString key;
        const QString* name;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(names.size()));
    for (const QString& name : names)
        entries.push_back({name.toCaseFolded(), &name});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : *a.name < *b.name;
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const Entry& entry : entries)
        sorted.append(*entry.name);
    return sorted;
}

} // namespace

CMediaListBox::CMediaListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);
    // The only menu of the list is the one of the right button, shown on the press.
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT DoubleClicked(); });
}

CMediaListBox::~CMediaListBox() = default;

void CMediaListBox::SetMode(int mode)
{
    m_mode = mode;
}

void CMediaListBox::FillList(const QString& pattern)
{
    const QStringList names = SortedWithoutCase(FolderListing::Matching(pattern));
    clear();
    for (const QString& name : names) {
        // A name that is not valid UTF-8 shows its odd bytes as replacement characters; the item
        // keeps the name that addresses the file.
        auto* entry = new QListWidgetItem(NativeName::Shown(name), this);
        entry->setData(kNameRole, name);
    }
    const int count = GetCount();
    if (count > 0)
        setCurrentRow(count - 1);
}

void CMediaListBox::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (hasFocus())
        QListWidget::currentChanged(current, previous);
    else
        // The list view's own step only announces the item as focused.
        QAbstractItemView::currentChanged(current, previous);
}

int CMediaListBox::GetCurSel() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

int CMediaListBox::GetCount() const
{
    return count();
}

QString CMediaListBox::GetText(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(kNameRole).toString() : QString();
}

int CMediaListBox::SetCurSel(int index)
{
    if (index < 0 || index >= GetCount()) {
        clearSelection();
        return -1;
    }
    setCurrentRow(index);
    return index;
}

std::optional<CMediaListBox::Target> CMediaListBox::SelectedTarget() const
{
    const int selected = GetCurSel();
    if (selected < 0)
        return std::nullopt;
    const std::optional<MediaMode> mode = MediaModeFromInt(m_mode);
    if (!mode)
        return std::nullopt;
    return Target{*mode, MediaFolders::ModeFolder(*mode) + GetText(selected)};
}

bool CMediaListBox::ConfirmDelete()
{
    return ShowMessageBox(this, Translated(kConfirmText), QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}

void CMediaListBox::ReportRemoveFailure(const QString& path, int error)
{
    const QString reason = QString::fromStdString(std::generic_category().message(error));
    ShowMessageBox(this, QCoreApplication::translate("CMediaListBox", "Cannot delete %1.\n%2.").arg(NativeName::Shown(path), reason),
                   QMessageBox::Warning);
}

void CMediaListBox::Refill(MediaMode mode)
{
    FillList(MediaFolders::ModeFolder(mode) + MediaFolders::ListingPattern(mode));
}

bool CMediaListBox::OnKeyDelete()
{
    const std::optional<Target> target = SelectedTarget();
    if (!target)
        return true;
    if (ConfirmDelete()) {
        // Removing a name that a process still has open would succeed here and lose the file for
        // that process, so an open file counts as a failed removal.
        int error = 0;
        ExclusiveFile file(target->path);
        if (file.IsHeld())
            error = file.Remove();
        else if (file.Error() == EBUSY)
            error = EBUSY;
        else
            error = ExclusiveFile::RemovePath(target->path);
        if (error != 0) {
            ReportRemoveFailure(target->path, error);
            return false;
        }
    }
    Refill(target->mode);
    return true;
}

void CMediaListBox::OnListDelete()
{
    const std::optional<Target> target = SelectedTarget();
    if (!target)
        return;
    if (ConfirmDelete()) {
        ExclusiveFile file(target->path);
        if (!file.IsHeld()) {
            ShowMessageBox(this, Translated(kInUseText), QMessageBox::Warning);
        } else if (const int error = file.Remove(); error != 0) {
            ReportRemoveFailure(target->path, error);
            return;
        }
    }
    Refill(target->mode);
}

void CMediaListBox::OnRButtonDown(const QPoint& globalPos)
{
    if (GetCurSel() < 0)
        return;
    QMenu popup(QCoreApplication::translate("CMediaListBox", "Delete"), this);
    popup.setObjectName(QStringLiteral("Delete"));
    // Drawn like the list it belongs to rather than in the desktop's style.
    popup.setStyleSheet(QStringLiteral(
        "QMenu { background: #131518; color: #d3d8df; border: 1px solid #3b3f46;"
        " font-family: 'DejaVu Sans'; font-size: 9pt; padding: 2px; }"
        "QMenu::item { padding: 3px 18px; }"
        "QMenu::item:selected { background: #2bb3a3; color: #101214; }"));
    QAction* remove = popup.addAction(QCoreApplication::translate("CMediaListBox", "delete"));
    if (popup.exec(globalPos) == remove)
        OnListDelete();
}

void CMediaListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && !OnKeyDelete())
        return;
    QListWidget::keyPressEvent(event);
}

void CMediaListBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QListWidget::mousePressEvent(event);
        return;
    }
    // The right button never moves the selection: the menu acts on the item selected before.
    event->accept();
    OnRButtonDown(event->globalPosition().toPoint());
}

QItemSelectionModel::SelectionFlags CMediaListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // A single-selection list box never loses its selection to a click: Ctrl+click or Ctrl+Space
    // on the selected item would otherwise deselect it.
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command.testFlag(QItemSelectionModel::Deselect) || command.testFlag(QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void CMediaListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

} // namespace corvana
