#include "app/CMainFrame.h"

#include "quillon.h"
#include "support/CSpecialKeys.h"
#include "support/Logging.h"
#include "support/WindowMessages.h"
#include "ui/CCorvanaDlg.h"
#include "support/CDesktopWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenu>
#include <QPointer>

#include <malloc.h>

namespace corvana {

namespace {
bool g_closing = false;
constexpr unsigned kF4ScanCode = 0x3E;
constexpr unsigned kAltDownFlags = 0x20;  // a press with Alt held
} // namespace

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("CorvanaClass"));
    setWindowTitle(QCoreApplication::translate("CMainFrame", "Corvana"));
    setAttribute(Qt::WA_DontShowOnScreen);
    m_hook.InstallKeyboardHook(this);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::IsClosing()
{
    return g_closing;
}

void CMainFrame::customEvent(QEvent* event)
{
    if (event->type() == EventTypeOf(WM_HOOKKEY)) {
        const auto* message = static_cast<CMessageEvent*>(event);
        OnHookKey(static_cast<unsigned>(message->wParam()), static_cast<unsigned>(message->lParam()));
    } else if (event->type() == EventTypeOf(WM_SHOWDIALOG)) {
        OnShowDialog();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    event->ignore();
    RequestClose();
}

void CMainFrame::OnHookKey(unsigned flags, unsigned scanCode)
{
    if (scanCode == CSpecialKeys::kModeKey && flags == CSpecialKeys::kDown)
        OpenMainDialog();
    else if (scanCode == kF4ScanCode && flags == kAltDownFlags) {
        // Alt+F4 with no dialog open: hand the focus to the desktop, where there is one.
        if (const auto desktop = CDesktopWindows::FindDesktopWindow())
            CDesktopWindows::ActivateWindow(*desktop);
    }
}

void CMainFrame::OnShowDialog()
{
    if (CCorvanaDlg::IsAnyOpen())
        return;
    OpenMainDialog();
}

void CMainFrame::OpenMainDialog()
{
    if (m_dialogRunning || g_closing)
        return;
    m_dialogRunning = true;
    m_hook.RemoveKeyboardHook();
    {
        CCorvanaDlg dialog;
        dialog.SetCloseRequested(&CMainFrame::IsClosing);
        SetModeLED(1);
        dialog.exec();
    }
    // What the dialog freed goes back to the system: the resident program waits small.
    ::malloc_trim(0);
    m_hook.InstallKeyboardHook(this);
    m_dialogRunning = false;
    if (g_closing)
        Finish();
}

void CMainFrame::RequestClose(std::function<void()> handled)
{
    if (handled)
        m_closeHandled.push_back(std::move(handled));
    if (!g_closing) {
        g_closing = true;
        // A menu or box that a handler opens on the way out is closed as soon as it shows.
        qApp->installEventFilter(this);
    }
    if (m_dialogRunning) {
        // The frame's handler that runs the dialog finishes the close once the dialog is gone.
        CloseOpenWindows();
        return;
    }
    Finish();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
        QMetaObject::invokeMethod(this, &CMainFrame::CloseOpenWindows, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void CMainFrame::CloseOpenWindows()
{
    // Every nested event loop has to end before the dialog's own can: open menus first (their
    // loop is innermost and a menu ignores dialogs being closed), then message boxes and the
    // About box, then the main dialog. A box closed this way answers with no button, so a
    // pending delete confirmation counts as "No".
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->close();
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    QList<QPointer<QWidget>> menus;
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* window : windows) {
        if (!window->isVisible())
            continue;
        if (auto* menu = qobject_cast<QMenu*>(window))
            menus.push_back(menu);
        else if (auto* dialog = qobject_cast<QDialog*>(window))
            dialogs.push_back(dialog);
    }
    for (const QPointer<QWidget>& menu : menus)
        if (menu)
            menu->close();
    for (const QPointer<QDialog>& dialog : dialogs)
        if (dialog && !qobject_cast<CCorvanaDlg*>(dialog.data()))
            dialog->reject();
    for (const QPointer<QDialog>& dialog : dialogs)
        if (dialog && qobject_cast<CCorvanaDlg*>(dialog.data()))
            dialog->reject();
}

void CMainFrame::Finish()
{
    std::vector<std::function<void()>> handled;
    handled.swap(m_closeHandled);
    for (auto& done : handled)
        done();
    QCoreApplication::quit();
}

} // namespace corvana
