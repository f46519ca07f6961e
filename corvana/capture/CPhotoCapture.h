#pragma once
#include "capture/BusWatch.h"
#include "capture/CMediaControl.h"
#include "capture/CaptureFailure.h"
#include "capture/DeviceState.h"
#include "capture/GstHandle.h"
#include "capture/HResult.h"
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

namespace corvana {

class PreviewSink;
class SourceWatchdog;

// The Photo mode: a live preview of the webcam in the preview area and the grab of its newest
// frame into a ".jpg" (by way of a ".bmp" that the dialog deletes). One instance for the process.
//   camera ! video/x-raw,width=1024,height=768 (or image/jpeg,width=1024,height=768 ! jpegdec; the
//            camera's default where it offers neither) ! queue(leaky) ! videoconvertscale ! BGRx ! appsink
// Names kept from the program's first platform: GetEncoderClsid gives the index of an image
// writer's format, m_pEvent is the bus watch.
class CPhotoCapture {
public:
    static CPhotoCapture& Instance();
    virtual ~CPhotoCapture();

    HRESULT StartPreview(int index, IPreviewSurface* window, int width, int height);
    void StopPreview();
    int GetDeviceState() const { return m_nDeviceState; }
    // Why the last preview start or grab failed; None after a successful one.
    CaptureOutcome LastFailure() const { return m_failure; }
    // Runs on the user-interface thread when the camera fails or stops delivering.
    void SetFailureHandler(std::function<void(CaptureFailure)> handler) { m_onFailure = std::move(handler); }
    void GrabPhoto();
    // Index of the image writer for the MIME type among QImageWriter's types, or -1.
    static int GetEncoderClsid(const QString& mimeType);

    QImage NewestFrame() const;
    int PreviewFramesPresented() const;
    // The live picture runs (not paused for a shown photo, not stopped).
    bool IsPreviewing() const;
    // The files written by the last grab (empty when it wrote none).
    QString LastBitmapPath() const { return m_lastBitmap; }
    QString LastPhotoPath() const { return m_lastPhoto; }

    CMediaControl* m_pControl = nullptr;  // null while there is no photo graph

private:
    CPhotoCapture();
    bool FindCaptureDevice(int index, ElementHandle& filter, QString& caps);
    void LoseCamera();

    ElementHandle m_pGraph;
    ElementHandle m_pSource;
    std::unique_ptr<PreviewSink> m_pWindowless;
    std::unique_ptr<BusWatch> m_pEvent;
    std::unique_ptr<SourceWatchdog> m_cameraWatch;
    std::unique_ptr<CMediaControl> m_control;
    PreviewSurfaceRef m_window;
    QString m_lastBitmap;
    QString m_lastPhoto;
    int m_nDeviceState = DeviceState::NotLookedFor;
    CaptureOutcome m_failure;
    std::function<void(CaptureFailure)> m_onFailure;
};

} // namespace corvana
