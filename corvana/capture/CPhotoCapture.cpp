#include "capture/CPhotoCapture.h"

#include "capture/CameraFormat.h"
#include "capture/DeviceList.h"
#include "capture/DeviceState.h"
#include "capture/DibFile.h"
#include "capture/DiscoveryRules.h"
#include "capture/GstRuntime.h"
#include "capture/IPreviewSurface.h"
#include "capture/LiveStart.h"
#include "capture/PreviewSink.h"
#include "capture/RequiredElements.h"
#include "capture/SourceWatchdog.h"
#include "library/MediaFolders.h"
#include "library/SyncedFile.h"
#include "support/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QImageWriter>

#include <cerrno>
#include <cstring>

namespace corvana {

CPhotoCapture& CPhotoCapture::Instance()
{
    static CPhotoCapture instance;
    return instance;
}

CPhotoCapture::CPhotoCapture() = default;

CPhotoCapture::~CPhotoCapture()
{
    StopPreview();
}

bool CPhotoCapture::FindCaptureDevice(int index, ElementHandle& filter, QString& caps)
{
    // A device list that cannot be had counts as no camera here, as an empty one does.
    const DiscoveryRules::PhotoChoice choice = DiscoveryRules::ChoosePhotoDevice(
        index < 0 ? std::vector<CaptureDevice>()
                  : DeviceList::Enumerate(DeviceCategory::VideoInput).value_or(std::vector<CaptureDevice>()),
        index);
    if (choice.noVideoDevice) {
        m_nDeviceState = DeviceState::NoCamera;
        m_failure.Fail(E_FAIL, CaptureFailure::NoVideoDevice);
        return false;
    }
    if (!choice.found)
        return false;
    m_nDeviceState = DeviceState::CameraFound;
    if (choice.video.element) {
        filter = choice.video.element;
        caps = choice.video.device.caps;
    }
    return true;
}

HRESULT CPhotoCapture::StartPreview(int index, IPreviewSurface* window, int width, int height)
{
    // A second start replaces the running graph rather than leaking it.
    StopPreview();
    m_failure = {};
    GstRuntime::Ensure();
    const QStringList elements{QStringLiteral("queue"), QStringLiteral("videoconvertscale"), QStringLiteral("appsink")};
    if (!RequiredElements::Require(elements, m_failure))
        return E_NOINTERFACE;
    m_pGraph = ElementHandle::Adopt(gst_pipeline_new("photo"));
    if (!m_pGraph)
        return m_failure.Fail(E_FAIL, CaptureFailure::Other);
    m_window = window;
    m_pWindowless = std::make_unique<PreviewSink>(window, QSize());

    ElementHandle source;
    QString caps;
    if (!FindCaptureDevice(index, source, caps)) {
        m_failure.Fail(E_FAIL, CaptureFailure::NoCamera);
        return S_FALSE;
    }
    if (!source || !m_pWindowless->Branch())
        return m_failure.Fail(E_FAIL, CaptureFailure::Other);
    m_pSource = source;
    const CameraFormat format = CameraFormat::Choose(caps, width > 0 && height > 0 ? QSize(width, height) : QSize());
    if (!RequiredElements::Require(format.Elements(), m_failure))
        return E_NOINTERFACE;
    GstBin* bin = GST_BIN(m_pGraph.get());
    if (!AddToBin(m_pGraph.get(), m_pSource) || !AddToBin(m_pGraph.get(), m_pWindowless->Branch()))
        return m_failure.Fail(E_FAIL, CaptureFailure::Other);
    GstElement* frames = format.LinkAfter(bin, m_pSource.get());
    if (!frames || !gst_element_link(frames, m_pWindowless->Branch().get()))
        return m_failure.Fail(E_FAIL, CaptureFailure::Other);

    m_control = std::make_unique<CMediaControl>(m_pGraph.get(), m_pWindowless.get());
    m_pControl = m_control.get();
    m_pEvent = std::make_unique<BusWatch>(m_pGraph.get(), LiveStart::OnError(QStringLiteral("photo graph"), [this] { LoseCamera(); }));
    m_pControl->Run();
    if (const CaptureFailure failure = LiveStart::Run(m_pGraph.get(), m_window); failure != CaptureFailure::None) {
        m_pControl->Stop();
        return m_failure.Fail(E_FAIL, failure);
    }
    m_cameraWatch = std::make_unique<SourceWatchdog>(m_pSource.get(), [this] {
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("photo graph: the camera stopped delivering"));
        LoseCamera();
    });
    return S_OK;
}

void CPhotoCapture::StopPreview()
{
    m_cameraWatch.reset();
    m_pEvent.reset();
    if (m_control)
        m_control->Stop();
    else if (m_pGraph)
        gst_element_set_state(m_pGraph.get(), GST_STATE_NULL);
    const bool hadPreview = static_cast<bool>(m_pWindowless);
    m_pControl = nullptr;
    m_control.reset();
    m_pWindowless.reset();
    m_pSource.reset();
    m_pGraph.reset();
    if (hadPreview && m_window)
        m_window->ShowPlaceholder();
    m_window = nullptr;
}

void CPhotoCapture::LoseCamera()
{
    m_cameraWatch.reset();
    if (m_control)
        m_control->Stop();
    if (m_window)
        m_window->ShowPlaceholder();
    m_failure = {CaptureFailure::CameraLost, QString()};
    if (m_onFailure)
        m_onFailure(CaptureFailure::CameraLost);
}

QImage CPhotoCapture::NewestFrame() const
{
    return m_pWindowless ? m_pWindowless->NewestFrame() : QImage();
}

bool CPhotoCapture::IsPreviewing() const
{
    if (!m_pGraph)
        return false;
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pGraph.get(), &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}

int CPhotoCapture::PreviewFramesPresented() const
{
    return m_pWindowless ? m_pWindowless->FramesPresented() : 0;
}

int CPhotoCapture::GetEncoderClsid(const QString& mimeType)
{
    return static_cast<int>(QImageWriter::supportedMimeTypes().indexOf(mimeType.toLatin1()));
}

void CPhotoCapture::GrabPhoto()
{
    m_lastBitmap.clear();
    m_lastPhoto.clear();
    // A grab keeps the reason the preview gave when there is no picture to take.
    const QImage frame = NewestFrame();
    if (frame.isNull()) {
        m_failure.Fail(E_FAIL, m_nDeviceState == DeviceState::NoCamera ? CaptureFailure::NoCamera : CaptureFailure::CameraBusy);
        return;
    }
    m_failure = {};
    const QString folder = MediaFolders::ModeFolder(MediaMode::Photo);
    if (!MediaFolders::MakeWritable(folder)) {
        m_failure.Fail(E_FAIL, CaptureFailure::FolderNotWritable, folder);
        return;
    }
    const QString stem = MakeTimestampedStem(folder, {QStringLiteral("bmp"), QStringLiteral("jpg")});
    if (stem.isEmpty()) {
        m_failure.Fail(E_FAIL, CaptureFailure::FolderNotWritable, folder);
        return;
    }
    const QString bitmap = stem + QStringLiteral(".bmp");
    const QString photo = stem + QStringLiteral(".jpg");
    // Half a photo is no photo: nothing of a failed grab stays to be listed.
    const auto failed = [&](CaptureFailure failure, int error) {
        QFile::remove(photo);
        const bool full = error == ENOSPC || error == EDQUOT;
        m_failure.Fail(E_FAIL, full ? CaptureFailure::DiskFull : failure, error ? QString::fromLocal8Bit(std::strerror(error)) : QString());
    };
    const int bitmapError = DibFile::Write(bitmap, frame);
    if (bitmapError != 0) {
        QFile::remove(bitmap);
        failed(CaptureFailure::WriteFailed, bitmapError);
        return;
    }
    m_lastBitmap = bitmap;
    const int encoder = GetEncoderClsid(QStringLiteral("image/jpeg"));
    if (encoder < 0) {
        failed(CaptureFailure::MissingCodec, 0);
        return;
    }
    // The photo is encoded from the very pixels just written to the bitmap.
    const QByteArray mime = QImageWriter::supportedMimeTypes().at(encoder);
    const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mime);
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, formats.isEmpty() ? QByteArray("jpeg") : formats.first());
    const int error = writer.write(frame) ? SyncedFile::Write(photo, encoded.data()) : EIO;
    if (error != 0) {
        failed(CaptureFailure::WriteFailed, error);
        return;
    }
    m_lastPhoto = photo;
}

} // namespace corvana
