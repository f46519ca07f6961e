#include "support/CKeyboardHook.h"

#include "support/CPortalShortcutSource.h"
#include "support/CXInputKeySource.h"
#include "support/DesktopSession.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdio>
#include <memory>

namespace corvana {

namespace {

QPointer<QObject> s_hookTarget;
std::unique_ptr<CXInputKeySource> s_hookHandle;
// The portal's session outlives installs: binding anew at every opening of the dialog could ask
// the user each time. Installing only opens the way to the target.
std::unique_ptr<CPortalShortcutSource> s_portalSource;
bool s_portalInstalled = false;

// The sources' notifiers and bus connections must go while the application still exists.
void DropSourceAtExit()
{
    s_hookHandle.reset();
    s_portalSource.reset();
    s_portalInstalled = false;
}

enum class SourceChoice { Portal, X11, None };

SourceChoice ChooseSource()
{
    if (s_portalSource)
        return SourceChoice::Portal;
    const QByteArray forced = qgetenv("CORVANA_KEY_SOURCE");
    if (forced == "x11")
        return SourceChoice::X11;
    QString failure;
    if (forced == "portal") {
        if (CPortalShortcutSource::Available(&failure))
            return SourceChoice::Portal;
        ReportSpecialKeysUnavailable(QStringLiteral("CORVANA_KEY_SOURCE=portal, but %1").arg(failure));
        return SourceChoice::None;
    }
    if (DesktopSession::IsWayland() && CPortalShortcutSource::Available())
        return SourceChoice::Portal;
    return SourceChoice::X11;
}

} // namespace

CKeyboardHook::~CKeyboardHook() = default;

int CKeyboardHook::InstallKeyboardHook(QObject* target)
{
    s_hookTarget = target;
    if (IsInstalled())
        RemoveKeyboardHook();
    if (!QCoreApplication::instance())
        return 0;

    static const bool s_bCleanupRegistered = [] {
        qAddPostRoutine(DropSourceAtExit);
        return true;
    }();
    (void)s_bCleanupRegistered;

    switch (ChooseSource()) {
    case SourceChoice::Portal:
        if (!s_portalSource)
            s_portalSource = std::make_unique<CPortalShortcutSource>([](const HookKey& key) {
                if (s_portalInstalled)
                    KeyboardHookProc(key.flags, key.scan);
            });
        s_portalInstalled = true;
        return 1;
    case SourceChoice::X11: {
        QString failure;
        s_hookHandle = CXInputKeySource::Open([](const HookKey& key) { KeyboardHookProc(key.flags, key.scan); }, &failure);
        if (!s_hookHandle)
            ReportSpecialKeysUnavailable(DesktopSession::IsWayland()
                                             ? QStringLiteral("the desktop portal offers no global shortcuts and %1").arg(failure)
                                             : failure);
        return s_hookHandle ? 1 : 0;
    }
    case SourceChoice::None: break;
    }
    return 0;
}

int CKeyboardHook::RemoveKeyboardHook()
{
    const int removed = IsInstalled() ? 1 : 0;
    s_hookHandle.reset();
    s_portalInstalled = false;
    return removed;
}

bool CKeyboardHook::IsInstalled()
{
    return s_hookHandle != nullptr || s_portalInstalled;
}

void ReportSpecialKeysUnavailable(const QString& why)
{
    static bool s_bReported = false;
    if (std::exchange(s_bReported, true))
        return;
    std::fprintf(stderr, "corvana: the special keys are unavailable: %s; the buttons and a second start still work\n",
                 why.toLocal8Bit().constData());
}

void KeyboardHookProc(std::uint32_t flags, std::uint32_t scan)
{
    if (QObject* target = s_hookTarget.data())
        QCoreApplication::postEvent(target, new CMessageEvent(WM_HOOKKEY, flags, static_cast<std::intptr_t>(scan)));
}

} // namespace corvana
