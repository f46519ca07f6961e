#pragma once
#include "capture/GstHandle.h"
#include "capture/HResult.h"

#include <QString>
#include <QStringList>

namespace corvana {

// Why a capture did not start or did not go on, in terms the user can act on.
enum class CaptureFailure {
    None,
    NoMicrophone,
    NoCamera,
    NoAudioDevice,  // the device listing has no microphone at all
    NoVideoDevice,  // the device listing has no camera at all
    MissingCodec,
    FolderNotWritable,
    DiskFull,
    WriteFailed,
    MicrophoneBusy,
    CameraBusy,
    MicrophoneLost,
    CameraLost,
    Other,
};

// A capture's outcome: what failed, why, and what the user needs to know to act on it. The
// capture objects only report it; the dialog alone turns it into words.
struct CaptureOutcome {
    CaptureOutcome() = default;
    CaptureOutcome(CaptureFailure failure_, QString detail_ = QString(), QStringList missing_ = QStringList())
        : failure(failure_), detail(std::move(detail_)), missing(std::move(missing_)) {}

    CaptureFailure failure = CaptureFailure::None;
    QString detail;       // the file or folder concerned; for a missing codec, the packages to install
    QStringList missing;  // for a missing codec, the GStreamer elements that are not installed

    bool Failed() const { return failure != CaptureFailure::None; }
    // Notes the cause unless one is noted already (later steps only fail because of the first)
    // and hands hr back.
    HRESULT Fail(HRESULT hr, CaptureFailure cause, const QString& about = QString())
    {
        if (!Failed()) {
            failure = cause;
            detail = about;
        }
        return hr;
    }
};

enum class ErrorSource { File, Microphone, Camera };

// What an error message of a pipeline means to the user; running: it came while capturing
// rather than while starting.
CaptureFailure FailureOfError(GstMessage* error, ErrorSource source, bool running);

} // namespace corvana
