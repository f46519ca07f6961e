#pragma once
#include "support/CKeyboardHook.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace corvana {

// The program's hidden main window. It is found from outside through the instance channel,
// receives the special keys while no dialog is open, and runs the main dialog modally.
class CMainFrame : public QWidget {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // The close request: closes an open dialog first (its teardown runs), then ends the program.
    // handled runs once the request has been carried out, just before the event loop ends.
    void RequestClose(std::function<void()> handled = {});

    // Set once a close request has arrived; a dialog that is just opening closes at once.
    static bool IsClosing();

protected:
    void customEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnHookKey(unsigned flags, unsigned scanCode);
    void OnShowDialog();
    void OpenMainDialog();
    void CloseOpenWindows();
    void Finish();

    CKeyboardHook m_hook;
    bool m_dialogRunning = false;
    std::vector<std::function<void()>> m_closeHandled;
};

} // namespace corvana
