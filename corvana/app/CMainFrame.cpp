#include "app/CMainFrame.h"

#include "quillon.h"
#include "support/Logging.h"
#include "support/WindowMessages.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CDesktopWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QPointer>

#include <malloc.h>

namespace corvana {

namespace {
bool g_closing = false;
}

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("CorvanaClass"));
    setWindowTitle(QStringLiteral("Corvana"));
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
    if ((flags & 1u) && scanCode == 0x79 && flags == 1)
        OpenMainDialog();
    else if (scanCode == 0x3E && flags == 0x20) {
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
    g_closing = true;
    if (m_dialogRunning) {
        // The frame's handler that runs the dialog finishes the close once the dialog is gone.
        CloseOpenDialogs();
        return;
    }
    Finish();
}

void CMainFrame::CloseOpenDialogs()
{
    // Innermost first: a message box or the About box may sit on top of the main dialog.
    const QWidgetList windows = QApplication::topLevelWidgets();
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* window : windows)
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            dialogs.push_back(dialog);
    for (const QPointer<QDialog>& dialog : dialogs)
        if (dialog && dialog->objectName() != QLatin1String("CorvanaDlg"))
            dialog->reject();
    for (const QPointer<QDialog>& dialog : dialogs)
        if (dialog && dialog->objectName() == QLatin1String("CorvanaDlg"))
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
