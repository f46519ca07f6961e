#include "ui/CShownPhoto.h"

namespace corvana {

CShownPhoto& CShownPhoto::ForProgram()
{
    static CShownPhoto program;
    return program;
}

void CShownPhoto::SetShown(bool shown)
{
    m_shown = shown;
    if (m_listener)
        m_listener(shown);
}

} // namespace corvana
