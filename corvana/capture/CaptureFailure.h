#pragma once
#include "capture/GstHandle.h"
#include "capture/HResult.h"

#include <QString>

namespace corvana {

// Why a capture did not start or did not go on, in terms the user can act on.
enum class CaptureFailure {
    None,
    NoMicrophone,
    NoCamera,
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

// A capture's outcome with what the user needs to be told: the file or folder concerned.
struct CaptureOutcome {
    CaptureOutcome() = default;
    CaptureOutcome(CaptureFailure failure_, QString detail_ = QString(), bool told_ = false)
        : failure(failure_), detail(std::move(detail_)), told(told_) {}

    CaptureFailure failure = CaptureFailure::None;
    QString detail;
    bool told = false;  // the capture object has already shown its own message about it

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
