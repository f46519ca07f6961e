#include "capture/DeviceList.h"

#include "capture/DeviceMonitorSource.h"
#include "capture/SyntheticDevices.h"

namespace corvana {

namespace {

DeviceList::Provider& Override()
{
    static DeviceList::Provider provider;
    return provider;
}

} // namespace

void DeviceList::SetProvider(Provider provider)
{
    Override() = std::move(provider);
}

DeviceList::Listing DeviceList::Enumerate(DeviceCategory category)
{
    if (Override())
        return Override()(category);
    const QByteArray mode = qgetenv("CORVANA_DEVICES");
    if (mode == "none")
        return std::vector<CaptureDevice>();
    if (mode == "synthetic")
        return SyntheticDevices::List(category);
    return DeviceMonitorSource::List(category);
}

} // namespace corvana
