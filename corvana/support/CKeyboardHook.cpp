#include "support/CKeyboardHook.h"

#include "support/CKeyTranslator.h"
#include "support/CPortalShortcutSource.h"
#include "support/CSessionLock.h"
#include "support/Logging.h"
#include "support/CXInputKeySource.h"
#include "support/DesktopSession.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

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
// Why the portal bound none of the shortcuts, once it has: it is not asked again.
QString s_portalUnbound;

// The sources' notifiers and bus connections must go while the application still exists.
void DropSourceAtExit()
{
    s_hookHandle.reset();
    s_portalSource.reset();
    s_portalInstalled = false;
}

bool ForcedSource(const char* source)
{
    return qgetenv("CORVANA_KEY_SOURCE") == source;
}

int OpenX11Source(const QString& portalFailure)
{
    QString failure;
    s_hookHandle = CXInputKeySource::Open([](const HookKey& key) { KeyboardHookProc(key.flags, key.scan); }, &failure);
    if (!s_hookHandle)
        ReportSpecialKeysUnavailable(portalFailure.isEmpty() ? failure : QStringLiteral("%1 and %2").arg(portalFailure, failure));
    return s_hookHandle ? 1 : 0;
}

void ReportPortalFallback(const QString& why)
{
    static bool s_bReported = false;
    if (std::exchange(s_bReported, true))
        return;
    std::fprintf(stderr, "corvana: %s; the special keys are taken from X11 instead\n", why.toLocal8Bit().constData());
}

// From inside the portal source's own Response: it is dropped once that call is over.
void OnPortalUnbound(const QString& why)
{
    QTimer::singleShot(0, QCoreApplication::instance(), [why] {
        s_portalSource.reset();
        s_portalUnbound = why;
        const bool installed = std::exchange(s_portalInstalled, false);
        if (ForcedSource("portal")) {
            ReportSpecialKeysUnavailable(QStringLiteral("CORVANA_KEY_SOURCE=portal, but %1").arg(why));
            return;
        }
        // With no X11 source either, that is the one line said.
        if (installed && !OpenX11Source(why))
            return;
        ReportPortalFallback(why);
    });
}

enum class SourceChoice { Portal, X11, None };

SourceChoice ChooseSource()
{
    if (s_portalSource)
        return SourceChoice::Portal;
    if (ForcedSource("x11"))
        return SourceChoice::X11;
    if (!s_portalUnbound.isEmpty())
        return ForcedSource("portal") ? SourceChoice::None : SourceChoice::X11;
    QString failure;
    if (ForcedSource("portal")) {
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
            s_portalSource = std::make_unique<CPortalShortcutSource>(
                [](const HookKey& key) {
                    if (s_portalInstalled)
                        KeyboardHookProc(key.flags, key.scan);
                },
                OnPortalUnbound);
        s_portalInstalled = true;
        return 1;
    case SourceChoice::X11:
        if (!s_portalUnbound.isEmpty())
            return OpenX11Source(s_portalUnbound);
        return OpenX11Source(DesktopSession::IsWayland() ? QStringLiteral("the desktop portal offers no global shortcuts")
                                                         : QString());
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
    // On a locked desk a press starts nothing: neither the dialog nor the hidden frame sees it.
    // Releases still pass, so a key held down across the lock does not stay down.
    if (CSessionLock::IsLocked() && !(flags & CKeyTranslator::kReleased)) {
        CORVANA_DEBUG_LINE(lcSupport, QStringLiteral("key 0x%1 ignored: the session is locked").arg(scan, 0, 16));
        return;
    }
    if (QObject* target = s_hookTarget.data())
        QCoreApplication::postEvent(target, new CMessageEvent(WM_HOOKKEY, flags, static_cast<std::intptr_t>(scan)));
}

} // namespace corvana
