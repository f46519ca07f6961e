#pragma once
// Runs the real main dialog modally in the test process; the check runs once it is shown and
// placed, and the dialog is closed afterwards unless the check closed it.
#include "ProgramRunner.h"
#include "ui/CCorvanaDlg.h"

#include <QTest>

enum class CloseBy { Exit, Escape };

inline int RunDialog(const std::function<void(corvana::CCorvanaDlg&)>& check, CloseBy close = CloseBy::Exit)
{
    corvana::CCorvanaDlg dialog;
    RunWhenShown(dialog, [&] {
        // The window manager has placed it once it is active.
        WaitFor([&] { return dialog.isActiveWindow(); }, 3000);
        check(dialog);
        if (!dialog.isVisible())
            return;
        if (close == CloseBy::Escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.OnExit();
    });
    return dialog.exec();
}
