#pragma once
#include "library/MediaMode.h"

namespace corvana {

class CCorvanaDlg;

// The main dialog's mode and recording state machine: Record, Stop and the four mode buttons,
// with the record light, the array microphone, the latches and the list refills.
class CRecordingControl {
public:
    explicit CRecordingControl(CCorvanaDlg& dialog);

    void Record();
    void Stop();
    void EnterMode(MediaMode mode);

    // A desktop lock: a running recording stops and the mode's capture object is released.
    void OnSessionLock();
    // Closing the dialog: the mode's capture object is left idle.
    void ShutDownCapture();
    // Before the media player starts: a running recording of the mode stops.
    void StopRecordingForPlayer();

    // Removes the intermediate bitmaps of earlier grabs from the Photo folder; a user's own
    // ".bmp" files there stay.
    static void RemoveGrabIntermediates();

private:
    void StartAudioRecording();
    // A running recording stops: the record light goes off and Record is released.
    void StopAudioRecording();
    void StopVideoRecordingAndPreview();
    void LeaveCurrentMode();

    CCorvanaDlg& m_dialog;
};

} // namespace corvana
