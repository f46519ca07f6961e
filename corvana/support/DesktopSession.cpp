#include "support/DesktopSession.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>

namespace corvana {

bool DesktopSession::IsWayland()
{
    return qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void DesktopSession::PreferXWayland()
{
    if (!IsWayland() || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    qputenv("QT_QPA_PLATFORM", "xcb");
    std::fprintf(stderr, "corvana: Wayland session: the window runs through XWayland (QT_QPA_PLATFORM=xcb)\n");
}

} // namespace corvana
