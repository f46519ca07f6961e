#include "capture/DeviceMonitorSource.h"

#include "capture/GstRuntime.h"
#include "capture/SoundServer.h"
#include "capture/V4l2Probe.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace corvana {

namespace {

QVariantMap PropertiesOf(GstDevice* device)
{
    QVariantMap map;
    GstStructurePtr props(gst_device_get_properties(device));
    if (!props)
        return map;
    const int count = gst_structure_n_fields(props.get());
    for (int i = 0; i < count; ++i) {
        const char* field = gst_structure_nth_field_name(props.get(), i);
        const GValue* value = gst_structure_get_value(props.get(), field);
        if (G_VALUE_HOLDS_STRING(value))
            map.insert(QString::fromUtf8(field), QString::fromUtf8(g_value_get_string(value)));
        else if (G_VALUE_HOLDS_INT(value))
            map.insert(QString::fromUtf8(field), g_value_get_int(value));
        else {
            GCharPtr text(gst_value_serialize(value));
            if (text)
                map.insert(QString::fromUtf8(field), QString::fromUtf8(text.get()));
        }
    }
    return map;
}

// The sound server's capture of what an output plays; recording it would record the speakers.
bool IsOutputMonitor(const CaptureDevice& device)
{
    return device.properties.value(QStringLiteral("device.class")).toString() == QLatin1String("monitor")
           || device.properties.value(QStringLiteral("media.class")).toString().contains(QLatin1String("/Sink"));
}

bool FromPipeWire(GstDevice* device)
{
    return std::strcmp(G_OBJECT_TYPE_NAME(device), "GstPipeWireDevice") == 0;
}

// The name the sound server knows a source by: PipeWire's node name, PulseAudio's source name.
QString InternalName(GstDevice* device, const CaptureDevice& listed)
{
    if (FromPipeWire(device))
        return listed.properties.value(QStringLiteral("node.name")).toString();
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name"))
        return {};
    gchar* name = nullptr;
    g_object_get(device, "internal-name", &name, nullptr);
    return QString::fromUtf8(GCharPtr(name).get());
}

// The camera's device node, by whichever provider offers it.
QString DeviceNode(const CaptureDevice& device)
{
    QString path = device.properties.value(QStringLiteral("api.v4l2.path")).toString();
    if (path.isEmpty())
        path = device.properties.value(QStringLiteral("device.path")).toString();
    return path.startsWith(QStringLiteral("/dev/video")) ? path : QString();
}

// PipeWire's client agrees on a format with a node that another program provides (pipewiresink
// mode=provide: virtual cameras and microphones) only when it asks for what the node offers: given
// ranges or lists of its own it never starts. It is asked for what both the branch behind it and
// the device take, and for raw video by size alone where the device names no format, which then is
// the device's own and every branch behind converts.
GstPadProbeReturn AskForWhatTheDeviceOffers(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    auto* offered = static_cast<GstCaps*>(data);
    if (!query || GST_QUERY_TYPE(query) != GST_QUERY_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* result = nullptr;
    gst_query_parse_caps_result(query, &result);
    if (!result)
        return GST_PAD_PROBE_OK;
    GstCapsPtr asked(gst_caps_intersect(result, offered));
    if (gst_caps_is_empty(asked.get()))
        return GST_PAD_PROBE_OK;
    bool formatNamed = false;
    for (guint i = 0; i < gst_caps_get_size(offered); ++i)
        formatNamed = formatNamed || gst_structure_has_field(gst_caps_get_structure(offered, i), "format");
    asked.reset(gst_caps_make_writable(asked.release()));
    for (guint i = 0; i < gst_caps_get_size(asked.get()) && !formatNamed; ++i) {
        GstStructure* structure = gst_caps_get_structure(asked.get(), i);
        if (gst_structure_has_name(structure, "video/x-raw"))
            gst_structure_remove_field(structure, "format");
    }
    gst_query_set_caps_result(query, asked.get());
    return GST_PAD_PROBE_OK;
}

GstElement* MakeSource(GstDevice* device)
{
    GstElement* element = gst_device_create_element(device, nullptr);
    if (!element)
        return nullptr;
    GstCaps* offered = FromPipeWire(device) ? gst_device_get_caps(device) : nullptr;
    PadHandle output = PadHandle::Adopt(offered ? gst_element_get_static_pad(element, "src") : nullptr);
    if (output && !gst_caps_is_any(offered) && !gst_caps_is_empty(offered))
        gst_pad_add_probe(output.get(), static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL),
                          &AskForWhatTheDeviceOffers, gst_caps_ref(offered),
                          [](gpointer caps) { gst_caps_unref(static_cast<GstCaps*>(caps)); });
    if (offered)
        gst_caps_unref(offered);
    // PipeWire's buffers point into memory the camera's or microphone's program shares; when that
    // program or node goes away the memory goes with it, and a frame still queued for the
    // recording would be read from nowhere. Copied out, a buffer lives as long as it is held.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "always-copy"))
        g_object_set(element, "always-copy", TRUE, nullptr);
    return element;
}

// PipeWire's provider offers a virtual microphone as the element that plays into it; only a
// device that makes a source can be recorded from.
bool MakesSource(GstDevice* device)
{
    GstElement* element = gst_device_create_element(device, nullptr);
    if (!element)
        return false;
    const bool source = !GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK);
    gst_object_unref(gst_object_ref_sink(element));
    return source;
}

// One monitor per kind of device, started at the first listing and kept running until the
// process ends: it follows devices as they come and go. PipeWire's provider (0.3.65) corrupts the
// heap when it is stopped after a device it saw went away, and now and then when its thread is
// started and stopped again for every listing; so it is never stopped.
GstDeviceMonitor* Monitor(const char* deviceClass)
{
    static std::mutex mutex;
    static std::map<std::string, GstDeviceMonitor*> monitors;
    std::lock_guard lock(mutex);
    auto found = monitors.find(deviceClass);
    if (found != monitors.end())
        return found->second;
    auto monitor = GObjectHandle<GstDeviceMonitor>::Adopt(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), deviceClass, nullptr);
    if (!gst_device_monitor_start(monitor.get()))
        return nullptr;  // asked again next time: a sound server may have come up meanwhile
    GstRuntime::KeepToTheEnd();
    // The process's from here on: a handle's release at exit would stop it.
    GstDeviceMonitor* kept = monitor.get();
    g_object_ref(kept);
    return monitors.emplace(deviceClass, kept).first->second;
}

struct Listed {
    CaptureDevice device;
    QString internalName;
    bool pipeWire = false;
};

} // namespace

std::optional<std::vector<CaptureDevice>> DeviceMonitorSource::List(DeviceCategory category)
{
    GstRuntime::Ensure();
    const bool video = category == DeviceCategory::VideoInput;
    GstDeviceMonitor* monitor = video ? Monitor("Video/Source") : Monitor("Audio/Source");
    if (!monitor)
        return std::nullopt;
    std::vector<Listed> listed;
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* item = list; item; item = item->next) {
        auto handle = GObjectHandle<GstDevice>::Adopt(GST_DEVICE(item->data));
        CaptureDevice device;
        device.category = category;
        GCharPtr name(gst_device_get_display_name(handle.get()));
        GCharPtr deviceClass(gst_device_get_device_class(handle.get()));
        GstCapsPtr caps(gst_device_get_caps(handle.get()));
        GCharPtr capsText(caps ? gst_caps_to_string(caps.get()) : nullptr);
        device.name = QString::fromUtf8(name.get());
        device.deviceClass = QString::fromUtf8(deviceClass.get());
        device.caps = capsText ? QString::fromUtf8(capsText.get()) : QString();
        device.properties = PropertiesOf(handle.get());
        if (video && !DeviceNode(device).isEmpty())
            device.analogVideoInput = V4l2Probe::HasAnalogVideoInput(DeviceNode(device));
        if ((!video && IsOutputMonitor(device)) || !MakesSource(handle.get()))
            continue;
        device.makeElement = [handle] { return MakeSource(handle.get()); };
        const QString internalName = video ? QString() : InternalName(handle.get(), device);
        listed.push_back({std::move(device), internalName, FromPipeWire(handle.get())});
    }
    g_list_free(list);  // the references moved into the handles above

    // A camera that PipeWire manages is also offered by V4L2 itself: one entry, PipeWire's, which
    // shares the camera with other programs.
    if (video) {
        std::erase_if(listed, [&](const Listed& candidate) {
            const QString node = DeviceNode(candidate.device);
            return !candidate.pipeWire && !node.isEmpty() && std::any_of(listed.begin(), listed.end(), [&](const Listed& other) {
                return other.pipeWire && DeviceNode(other.device) == node;
            });
        });
    } else {
        const QString defaultSource = SoundServer::DefaultSourceName();
        std::stable_partition(listed.begin(), listed.end(), [&](const Listed& candidate) {
            if (defaultSource.isEmpty())
                return candidate.device.properties.value(QStringLiteral("is-default")).toString() == QLatin1String("true");
            return candidate.internalName == defaultSource;
        });
    }
    std::vector<CaptureDevice> devices;
    for (Listed& candidate : listed)
        devices.push_back(std::move(candidate.device));
    return devices;
}

} // namespace corvana
