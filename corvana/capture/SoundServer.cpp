#include "capture/SoundServer.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <chrono>
#include <memory>

namespace corvana {

namespace {

// A server that does not answer within this time is taken as absent; discovery runs on the
// user-interface thread.
constexpr std::chrono::milliseconds kAnswerWait{1500};

struct MainloopFree {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextRelease {
    void operator()(pa_context* context) const
    {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

struct Query {
    bool answered = false;
    QString defaultSource;
};

// Runs the loop until done() holds, the connection fails or the time is up.
template <typename Done>
bool RunUntil(pa_mainloop* loop, pa_context* context, std::chrono::steady_clock::time_point deadline, Done done)
{
    while (!done()) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop) < 0
            || pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

} // namespace

QString SoundServer::DefaultSourceName()
{
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    std::unique_ptr<pa_mainloop, MainloopFree> loop(pa_mainloop_new());
    if (!loop)
        return {};
    std::unique_ptr<pa_context, ContextRelease> context(pa_context_new(pa_mainloop_get_api(loop.get()), "Corvana"));
    if (!context)
        return {};
    // Never start a server of its own: a machine without one has no default source.
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return {};
    if (!RunUntil(loop.get(), context.get(), deadline, [&] { return pa_context_get_state(context.get()) == PA_CONTEXT_READY; }))
        return {};
    Query query;
    pa_operation* operation = pa_context_get_server_info(
        context.get(),
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* asked = static_cast<Query*>(data);
            asked->answered = true;
            if (info && info->default_source_name)
                asked->defaultSource = QString::fromUtf8(info->default_source_name);
        },
        &query);
    if (!operation)
        return {};
    RunUntil(loop.get(), context.get(), deadline, [&] { return query.answered; });
    if (!query.answered)
        pa_operation_cancel(operation);  // the answer must not come into a query that is gone
    pa_operation_unref(operation);
    return query.defaultSource;
}

} // namespace corvana
