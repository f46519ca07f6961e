#pragma once
#include "support/MediaMode.h"

#include <QListWidget>
#include <QString>

#include <optional>

class QKeyEvent;
class QMouseEvent;

namespace corvana {

// The main dialog's file list (control 1007): the captures of one mode, sorted without regard to
// case so that time-stamped names appear oldest first, with the newest selected. Adds deleting the
// selected file from the Delete key and from a one-item context menu.
class CMediaListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CMediaListBox(QWidget* parent = nullptr);
    ~CMediaListBox() override;

    // Stores the mode whose folder the delete commands use; nothing else.
    void SetMode(int mode);
    int Mode() const { return m_mode; }

    // Replaces the content with the names of the entries matching `pattern` (a mode folder plus its
    // listing pattern) and selects the last one; an empty list has no selection.
    void FillList(const QString& pattern);

    int GetCurSel() const;   // -1 when nothing is selected
    int GetCount() const;
    // The file name the item stands for, as NativeName keeps it; empty for an index out of range.
    QString GetText(int index) const;
    int SetCurSel(int index);  // -1 (or out of range) clears the selection and gives -1

Q_SIGNALS:
    // A double click with the left button on an item.
    void DoubleClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    // Assistive tools hear of a new current item only while the list has the keyboard focus: a
    // refill behind a focused button must not move a screen reader's focus into the list.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    struct Target {
        MediaMode mode;
        QString path;
    };
    std::optional<Target> SelectedTarget() const;

    // False when the removal failed and was reported: the command then ends without a refill.
    bool OnKeyDelete();
    void OnRButtonDown(const QPoint& globalPos);
    void OnListDelete();

    bool ConfirmDelete();
    void ReportRemoveFailure(const QString& path, int error);
    void Refill(MediaMode mode);

    int m_mode = -1;
};

} // namespace corvana
