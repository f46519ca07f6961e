#include "capture/DeviceMonitorSource.h"

#include "capture/GstRuntime.h"
#include "capture/V4l2Probe.h"

#include <algorithm>

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
    return device.properties.value(QStringLiteral("device.class")).toString() == QLatin1String("monitor");
}

bool IsDefaultSource(const CaptureDevice& device)
{
    return device.properties.value(QStringLiteral("is-default")).toString() == QLatin1String("true");
}

} // namespace

std::optional<std::vector<CaptureDevice>> DeviceMonitorSource::List(DeviceCategory category)
{
    GstRuntime::Ensure();
    const bool video = category == DeviceCategory::VideoInput;
    GObjectHandle<GstDeviceMonitor> monitor = GObjectHandle<GstDeviceMonitor>::Adopt(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), video ? "Video/Source" : "Audio/Source", nullptr);
    if (!gst_device_monitor_start(monitor.get()))
        return std::nullopt;
    std::vector<CaptureDevice> devices;
    GList* list = gst_device_monitor_get_devices(monitor.get());
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
        if (video) {
            QString path = device.properties.value(QStringLiteral("api.v4l2.path")).toString();
            if (path.isEmpty())
                path = device.properties.value(QStringLiteral("device.path")).toString();
            if (path.startsWith(QStringLiteral("/dev/video")))
                device.analogVideoInput = V4l2Probe::HasAnalogVideoInput(path);
        }
        device.makeElement = [handle] { return gst_device_create_element(handle.get(), nullptr); };
        if (!video && IsOutputMonitor(device))
            continue;
        devices.push_back(std::move(device));
    }
    g_list_free(list);  // the references moved into the handles above
    gst_device_monitor_stop(monitor.get());
    if (!video)
        std::stable_partition(devices.begin(), devices.end(), IsDefaultSource);
    return devices;
}

} // namespace corvana
