#pragma once
#include "support/CKeyboardHook.h"
#include "support/ISpecialKeyCommands.h"
#include "support/MediaMode.h"
#include "ui/IPlaybackView.h"
#include "ui/IRecordingView.h"

#include <QDialog>
#include <QPixmap>
#include <QRect>

#include <functional>
#include <map>
#include <memory>


class QTimer;

namespace corvana {

class CCaptureObjects;
class CHoverButton;
class CMediaListBox;
class CPicture;
class CPlaybackControl;
class CPreviewArea;
class CRecordingControl;
class CSessionNotifier;
class CSpecialKeys;
class CVolumeIndicator;

// The program's one visible window: a borderless, skinned dialog with the preview area, the
// mode and transport buttons, the volume control and the file list.
class CCorvanaDlg : public QDialog, public ISpecialKeyCommands, public IRecordingView, public IPlaybackView {
    Q_OBJECT
public:
    // Control identifiers; each control's object name is its number.
    enum ControlId {
        IDC_LIST = 1007,
        IDC_PREVIEW = 1021,
        IDC_PLAY = 1023,
        IDC_PREVIOUS = 1024,
        IDC_NEXT = 1025,
        IDC_RECORD = 1026,
        IDC_STOP = 1027,
        IDC_EXIT = 1028,
        IDC_ABOUT = 1029,
        IDC_SOLO = 1030,
        IDC_CONFERENCE = 1031,
        IDC_VIDEO = 1032,
        IDC_PHOTO = 1033,
        IDC_VOLUME_LEVEL = 1034,
        IDC_VOLUME_UP = 1036,
        IDC_VOLUME_DOWN = 1037,
    };

    explicit CCorvanaDlg(QWidget* parent = nullptr);
    ~CCorvanaDlg() override;

    int exec() override;
    void done(int result) override;
    void reject() override;

    // Whether any top-level window of the dialog class is open (the main dialog or About).
    static bool IsAnyOpen();
    // Asked once the dialog is shown: a close request that came in while it was being set up
    // closes it at once.
    void SetCloseRequested(std::function<bool()> closeRequested) { m_closeRequested = std::move(closeRequested); }

    MediaMode Mode() const override;
    CHoverButton* Button(int id) const;
    CHoverButton* ModeButton(MediaMode mode) const;
    CMediaListBox* List() const { return m_fileList; }
    CPreviewArea* Preview() const { return m_preview; }
    CPicture& Picture() const { return *m_picture; }
    QRect PreviewRect() const { return m_previewRect; }
    CKeyboardHook& Hook() { return m_hook; }
    CRecordingControl& Recording() const { return *m_recording; }
    CPlaybackControl& Playback() const { return *m_playback; }

    // The level shown by the volume indicator (0 when the mixer gave none).
    int UpdateVolumeIndicator();
    int ShownVolumeBitmap() const { return m_volumeBitmap; }

    // Special-key commands (also the buttons' handlers).
    MediaMode CurrentMode() const override { return Mode(); }
    void OnSolo() override;
    void OnConference() override;
    void OnVideoRecord() override;
    void OnPhotoGrab() override;
    void OnRecord() override;
    void OnPlay() override;
    void OnPrevious() override;
    void OnNext() override;
    void OnVolumeUp() override;
    void OnVolumeDown() override;
    void SaveModeAndEnd() override;
    bool ClosePlayerIfRunning() override;
    void TakeDialogForeground() override;

    void OnStop();
    void OnExit();
    void OnAbout();

    // What the recording controller drives.
    IPreviewSurface* PreviewSurface() override;
    void ShowPlaceholder() override;
    void ShowPreview() override;
    void LatchRecord(bool latched) override;
    void EnableRecord(bool enabled) override;
    void LatchModeButton(MediaMode mode, bool latched) override;
    void PushModeButton(MediaMode mode, bool pushed) override;
    void UncheckModeButton(MediaMode mode) override;
    void FillList(MediaMode mode, const QString& selectPath = QString()) override;
    void SetListMode(MediaMode mode) override;
    void SuspendSpecialKeys() override;
    void ResumeSpecialKeys() override;
    bool PlayerOpen() override;
    void StopPlayer() override;
    void ClosePlayer() override;
    void Tell(const QString& text) override;

    // What playback drives.
    int ListCount() const override;
    int ListSelection() const override;
    void SelectListItem(int index) override;
    QString ListText(int index) const override;
    void StopRecordingForPlayer() override;
    void ShowPhotoFile(const QString& path) override;
    void PauseLivePicture() override;
    void ResumeLivePicture() override;
    bool PlayerRunning() override;
    void PlayPausePlayer() override;
    void OpenInPlayer(const QString& path) override;

protected:
    void customEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    // The running recording's elapsed time and sound level over the preview area.
    void ShowRecordingProgress();
    static QString ElapsedText(double seconds);
    void OnInitDialog();
    void OnSize();
    void RestoreMode(int modeState, bool applyArrayMic);
    void OnSessionChange(int event);
    void ShutDownCapture();
    void OnDestroy();
    void CorrectRecordByDevices();
    void ShowVolumeLevel(int bitmapId);

    CKeyboardHook m_hook;
    CSessionNotifier* m_session = nullptr;
    std::map<int, CHoverButton*> m_buttons;
    CVolumeIndicator* m_volumeLevel = nullptr;
    CPreviewArea* m_preview = nullptr;
    QTimer* m_progressTimer = nullptr;
    std::unique_ptr<CPicture> m_picture;
    QRect m_previewRect;
    CMediaListBox* m_fileList = nullptr;
    QPixmap m_skinBitmap;
    QSize m_skinSize;
    CSpecialKeys* m_specialKeys = nullptr;
    std::unique_ptr<CCaptureObjects> m_capture;
    std::unique_ptr<CRecordingControl> m_recording;
    std::unique_ptr<CPlaybackControl> m_playback;
    int m_volumeBitmap = 0;
    std::function<bool()> m_closeRequested;
    bool m_initialised = false;
    bool m_destroyed = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace corvana
