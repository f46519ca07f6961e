#pragma once
// Owning handles for GStreamer and GLib references.
#include <gst/gst.h>

#include <memory>
#include <utility>

namespace corvana {

// One owning handle for every GObject / GstObject reference. Adopt() takes over a reference the
// caller already owns (sinking a floating one); Ref() adds a reference of its own. A handle's
// reference is never floating, so whatever the handle is given to takes a reference of its own.
template <typename T>
class GObjectHandle {
public:
    GObjectHandle() = default;
    GObjectHandle(std::nullptr_t) {}
    GObjectHandle(const GObjectHandle& other) : m_p(other.m_p) { if (m_p) g_object_ref(m_p); }
    GObjectHandle(GObjectHandle&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    GObjectHandle& operator=(GObjectHandle other) noexcept { std::swap(m_p, other.m_p); return *this; }
    ~GObjectHandle() { if (m_p) g_object_unref(m_p); }

    static GObjectHandle Adopt(T* p)
    {
        GObjectHandle h;
        if (p && g_object_is_floating(p))
            g_object_ref_sink(p);
        h.m_p = p;
        return h;
    }
    static GObjectHandle Ref(T* p)
    {
        GObjectHandle h;
        if (p)
            g_object_ref(p);
        h.m_p = p;
        return h;
    }

    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() { GObjectHandle().swap(*this); }
    void swap(GObjectHandle& other) noexcept { std::swap(m_p, other.m_p); }

private:
    T* m_p = nullptr;
};

using ElementHandle = GObjectHandle<GstElement>;
using PadHandle = GObjectHandle<GstPad>;
using BusHandle = GObjectHandle<GstBus>;
using ClockHandle = GObjectHandle<GstClock>;

// Puts an element the caller holds a handle to into a bin. The bin adds a reference of its own
// (gst_bin_add only takes over floating ones), so the handle still owns exactly its one.
inline bool AddToBin(GstElement* bin, const ElementHandle& element)
{
    return element && gst_bin_add(GST_BIN(bin), element.get());
}

// Single-owner handles for the non-GObject references.
template <auto Free>
struct GFreeDeleter {
    template <typename P>
    void operator()(P* p) const { Free(p); }
};
// The mini objects' own unref functions are static inline, which would give every file its own
// handle type; the exported mini-object unref keeps one type for all.
struct MiniObjectUnref {
    void operator()(void* p) const { gst_mini_object_unref(GST_MINI_OBJECT_CAST(p)); }
};
using GErrorPtr = std::unique_ptr<GError, GFreeDeleter<g_error_free>>;
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter<g_free>>;
using GstStructurePtr = std::unique_ptr<GstStructure, GFreeDeleter<gst_structure_free>>;
using GstCapsPtr = std::unique_ptr<GstCaps, MiniObjectUnref>;
using GstMessagePtr = std::unique_ptr<GstMessage, MiniObjectUnref>;
using GstSamplePtr = std::unique_ptr<GstSample, MiniObjectUnref>;

// Lets a unique handle be filled through a T** output parameter.
template <typename Ptr>
class OutParam {
public:
    explicit OutParam(Ptr& owner) : m_owner(owner) {}
    ~OutParam() { m_owner.reset(m_raw); }
    operator typename Ptr::pointer*() { return &m_raw; }

private:
    Ptr& m_owner;
    typename Ptr::pointer m_raw = nullptr;
};
template <typename Ptr>
OutParam<Ptr> Out(Ptr& owner) { return OutParam<Ptr>(owner); }

} // namespace corvana
