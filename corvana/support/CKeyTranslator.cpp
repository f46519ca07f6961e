#include "support/CKeyTranslator.h"

#include "support/ScanCodeTable.h"

#include <linux/input-event-codes.h>

namespace corvana {

HookKey CKeyTranslator::Translate(unsigned xKeycode, bool released)
{
    // The Alt key's own press already carries the Alt flag and its release no longer does,
    // as the platform's low-level events have it.
    if (xKeycode == KEY_LEFTALT + ScanCodeTable::kEvdevOffset)
        m_bLeftAlt = !released;
    else if (xKeycode == KEY_RIGHTALT + ScanCodeTable::kEvdevOffset)
        m_bRightAlt = !released;

    const ScanCode scan = ScanCodeTable::ForKeycode(xKeycode);
    HookKey key;
    key.scan = scan.code;
    if (scan.extended)
        key.flags |= kExtended;
    if (IsAltHeld())
        key.flags |= kAltDown;
    if (released)
        key.flags |= kReleased;
    return key;
}

} // namespace corvana
