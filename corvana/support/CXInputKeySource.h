#pragma once
#include "support/CKeyTranslator.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

struct _XDisplay;
class QSocketNotifier;

namespace corvana {

// Every key event of the X desktop, as raw XInput2 key events selected on the root window of
// a connection of its own. Raw events are copies: nothing is grabbed, so every program still
// gets its keys. The connection is read inside the Qt event loop of the creating thread.
class CXInputKeySource : public QObject {
public:
    using KeyHandler = std::function<void(const HookKey&)>;

    // Null when there is no X display or the server lacks XInput 2; failure then says which.
    static std::unique_ptr<CXInputKeySource> Open(KeyHandler handler, QString* failure = nullptr);
    ~CXInputKeySource() override;

    // Sources alive in this process, and key events they have read so far.
    static int LiveCount();
    static long long ReadCount();

private:
    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };
    using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

    CXInputKeySource(DisplayPtr display, int xiOpcode, KeyHandler handler);
    void Drain();

    DisplayPtr m_pDisplay;
    int m_nXiOpcode;
    KeyHandler m_handler;
    CKeyTranslator m_translator;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};

} // namespace corvana
