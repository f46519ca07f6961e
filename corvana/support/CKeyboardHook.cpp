#include "support/CKeyboardHook.h"

#include "support/CXInputKeySource.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QPointer>

#include <memory>

namespace corvana {

namespace {

QPointer<QObject> s_hookTarget;
std::unique_ptr<CXInputKeySource> s_hookHandle;

// The source's socket notifier must go while the event loop's application still exists.
void DropSourceAtExit()
{
    s_hookHandle.reset();
}

} // namespace

CKeyboardHook::~CKeyboardHook() = default;

int CKeyboardHook::InstallKeyboardHook(QObject* target)
{
    s_hookTarget = target;
    if (s_hookHandle)
        RemoveKeyboardHook();
    if (!QCoreApplication::instance())
        return 0;

    static const bool s_bCleanupRegistered = [] {
        qAddPostRoutine(DropSourceAtExit);
        return true;
    }();
    (void)s_bCleanupRegistered;

    s_hookHandle = CXInputKeySource::Open([](const HookKey& key) { KeyboardHookProc(key.flags, key.scan); });
    return s_hookHandle ? 1 : 0;
}

int CKeyboardHook::RemoveKeyboardHook()
{
    const int removed = s_hookHandle ? 1 : 0;
    s_hookHandle.reset();
    return removed;
}

bool CKeyboardHook::IsInstalled()
{
    return s_hookHandle != nullptr;
}

void KeyboardHookProc(std::uint32_t flags, std::uint32_t scan)
{
    if (QObject* target = s_hookTarget.data())
        QCoreApplication::postEvent(target, new CMessageEvent(WM_HOOKKEY, flags, static_cast<std::intptr_t>(scan)));
}

} // namespace corvana
