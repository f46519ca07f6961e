#pragma once
// A hook target for tests: records every WM_HOOKKEY it receives, in order.
#include "support/WindowMessages.h"

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <ostream>
#include <vector>

struct ReceivedKey {
    std::uint32_t flags;
    std::uint32_t scan;
    friend bool operator==(const ReceivedKey&, const ReceivedKey&) = default;
    friend std::ostream& operator<<(std::ostream& out, const ReceivedKey& key)
    {
        return out << std::hex << "(0x" << key.flags << ", 0x" << key.scan << ")" << std::dec;
    }
};

class HookKeyRecorder : public QObject {
public:
    std::vector<ReceivedKey> keys;

    bool event(QEvent* event) override
    {
        if (event->type() == corvana::EventTypeOf(corvana::WM_HOOKKEY)) {
            const auto* message = static_cast<const corvana::CMessageEvent*>(event);
            keys.push_back({static_cast<std::uint32_t>(message->wParam()),
                            static_cast<std::uint32_t>(message->lParam())});
            return true;
        }
        return QObject::event(event);
    }
};
