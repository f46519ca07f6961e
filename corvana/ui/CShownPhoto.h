#pragma once
#include <functional>

namespace corvana {

// The photo shown in the preview area over the paused live picture: whether one is, and the list
// index it was shown from. It outlives each opening of the dialog, so a photo still shown when the
// dialog closed is known to be shown when it opens again; the open dialog listens to it.
class CShownPhoto {
public:
    // The program's one instance.
    static CShownPhoto& ForProgram();

    bool Shown() const { return m_shown; }
    int Index() const { return m_index; }
    void SetShown(bool shown);
    void SetIndex(int index) { m_index = index; }
    // Told each change of Shown(); nullptr stops it.
    void SetListener(std::function<void(bool shown)> listener) { m_listener = std::move(listener); }

private:
    bool m_shown = false;
    int m_index = -1;
    std::function<void(bool)> m_listener;
};

} // namespace corvana
