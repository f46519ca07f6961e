#include "capture/GstRuntime.h"

#include <gst/gst.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace corvana {

namespace {

// Joined at the latest when the process ends, whoever forgot to shut down.
struct WarmThread {
    std::thread thread;
    ~WarmThread()
    {
        if (thread.joinable())
            thread.join();
    }
};

std::mutex g_warmMutex;
WarmThread g_warm;
std::atomic<bool> g_used{false};
std::atomic<bool> g_keep{false};

void LoadFactories(const QStringList& factories)
{
    gst_init(nullptr, nullptr);
    for (const QString& name : factories) {
        GstElementFactory* factory = gst_element_factory_find(name.toUtf8().constData());
        if (!factory)
            continue;
        // One element made and dropped also runs the classes' first-use set-up.
        if (GstElement* element = gst_element_factory_create(factory, nullptr))
            gst_object_unref(gst_object_ref_sink(element));
        gst_object_unref(factory);
    }
}

} // namespace

void GstRuntime::Ensure()
{
    g_used = true;
    static const bool initialised = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialised;
}

void GstRuntime::WarmUp(const QStringList& factories)
{
    std::lock_guard lock(g_warmMutex);
    static bool started = false;
    if (started)
        return;
    started = true;
    g_used = true;
    g_warm.thread = std::thread(LoadFactories, factories);
}

void GstRuntime::KeepToTheEnd()
{
    g_keep = true;
}

void GstRuntime::Shutdown()
{
    {
        std::lock_guard lock(g_warmMutex);
        if (g_warm.thread.joinable())
            g_warm.thread.join();
    }
    if (g_keep)
        return;
    if (g_used.exchange(false))
        gst_deinit();
}

} // namespace corvana
