#include "ui/CRecordingControl.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "library/CMediaListBox.h"
#include "library/MediaFolders.h"
#include "quillon.h"
#include "support/Logging.h"
#include "support/MessageBox.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CHoverButton.h"
#include "ui/CPlaybackControl.h"
#include "ui/CPreviewArea.h"
#include "ui/CProgramState.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace corvana {

namespace {

void FillList(CCorvanaDlg& dialog, MediaMode mode)
{
    dialog.List()->FillList(MediaFolders::ModeFolder(mode) + MediaFolders::ListingPattern(mode));
}

bool IsAudioMode(MediaMode mode)
{
    return mode == MediaMode::Solo || mode == MediaMode::Conference;
}

} // namespace

CRecordingControl::CRecordingControl(CCorvanaDlg& dialog) : m_dialog(dialog) {}

void CRecordingControl::Record()
{
    if (CProgramState::busy || CProgramState::recordSwitching)
        return;
    const auto player = m_dialog.Playback().FindPlayerWindow();
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    const MediaMode mode = m_dialog.Mode();

    if (IsAudioMode(mode)) {
        const bool running = CAudioRecorder::Instance().IsRunning() == 1;
        CProgramState::recordSwitching = true;
        if (running) {
            StopAudioRecording();
            CProgramState::recordSwitching = false;
            return;
        }
        SetArrayMicMode(mode == MediaMode::Solo ? 1 : 2);
        if (player)
            m_dialog.Playback().SendPlayerKeys(*player, CPlaybackControl::CloseKeys);
        StartAudioRecording();
        SetRecordLED(1);
        FillList(m_dialog, mode);
        record->SetLatched(true);
        CProgramState::recordSwitching = false;
        return;
    }

    if (mode == MediaMode::Video) {
        CCaptureGraph& graph = CCaptureGraph::Instance();
        const bool recording = graph.IsRecording() == 1;
        CProgramState::recordSwitching = true;
        if (recording) {
            StopVideoRecordingAndPreview();
            record->SetLatched(false);
            CProgramState::recordSwitching = false;
            return;
        }
        SetArrayMicMode(1);
        if (player)
            m_dialog.Playback().SendPlayerKeys(*player, CPlaybackControl::CloseKeys);
        graph.CloseInterfaces();
        graph.SetOwnerWindow(m_dialog.Preview());
        record->SetLatched(true);
        graph.StartPreview();
        graph.StartRecording();
        SetRecordLED(1);
        FillList(m_dialog, mode);
        CProgramState::recordSwitching = false;
        return;
    }

    // Photo: a snapshot of the live picture.
    CPhotoCapture& photo = CPhotoCapture::Instance();
    if (CProgramState::PhotoShown == 1) {
        if (photo.m_pControl)
            photo.m_pControl->Run();
        CProgramState::PhotoShown = 0;
    }
    record->SetLatched(true);
    SetRecordLED(1);
    photo.GrabPhoto();
    RemoveGrabIntermediates();
    record->SetLatched(false);
    SetRecordLED(0);
    FillList(m_dialog, mode);
}

void CRecordingControl::StartAudioRecording()
{
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    recorder.CreateGraph();
    recorder.AddCaptureSource(DeviceCategory::AudioInput, QString());
    recorder.EnableInputPin(QStringLiteral("Microphone"));
    recorder.SetOutputAndRender(MediaFolders::SubfolderName(m_dialog.Mode()));
    recorder.Start();
}

void CRecordingControl::RemoveGrabIntermediates()
{
    // The grab names its bitmaps YYMMDD-hhmmss[_N].bmp; nothing else in the folder is ours.
    static const QRegularExpression ours(QStringLiteral("^\\d{6}-\\d{6}(_\\d+)?\\.bmp$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString folder = MediaFolders::ModeFolder(MediaMode::Photo);
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(folder + name);
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            ShowMessageBox(nullptr, folder + name + QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(errno)),
                           QMessageBox::Critical);
    }
}

void CRecordingControl::Stop()
{
    if (const auto player = m_dialog.Playback().FindPlayerWindow()) {
        m_dialog.Playback().SendPlayerKeys(*player, CPlaybackControl::StopKeys);
        return;
    }
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    switch (m_dialog.Mode()) {
    case MediaMode::Solo:
    case MediaMode::Conference:
        if (CAudioRecorder::Instance().IsRunning() == 1)
            StopAudioRecording();
        break;
    case MediaMode::Video:
        if (CCaptureGraph::Instance().IsRecording() == 1) {
            CCaptureGraph::Instance().StopRecording();
            SetRecordLED(0);
            record->SetLatched(false);
            CPhotoCapture::Instance().StopPreview();
            CCaptureGraph::Instance().SetOwnerWindow(m_dialog.Preview());
            CCaptureGraph::Instance().StartPreview();
        }
        break;
    case MediaMode::Photo:
        if (CProgramState::PhotoShown == 1) {
            if (CPhotoCapture::Instance().m_pControl)
                CPhotoCapture::Instance().m_pControl->Run();
            CProgramState::PhotoShown = 0;
        }
        break;
    }
}

void CRecordingControl::EnterMode(MediaMode mode)
{
    for (MediaMode other : {MediaMode::Solo, MediaMode::Conference, MediaMode::Video, MediaMode::Photo})
        m_dialog.ModeButton(other)->SetLatched(other == mode);
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    if (IsAudioMode(mode))
        record->SetEnabledState(true);
    if (m_dialog.Mode() == mode)
        return;
    if (mode == MediaMode::Video)
        CORVANA_DEBUG_LINE(lcUi, "onvideo");
    if (CProgramState::busy) {
        m_dialog.ModeButton(mode)->SetCheck(0);
        return;
    }
    if (mode == MediaMode::Video)
        CORVANA_DEBUG_LINE(lcUi, "flag 0");

    m_dialog.Hook().RemoveKeyboardHook();
    CProgramState::busy = true;
    LeaveCurrentMode();
    if (mode == MediaMode::Photo)
        CProgramState::PhotoShown = 0;
    for (MediaMode other : {MediaMode::Solo, MediaMode::Conference, MediaMode::Video, MediaMode::Photo})
        m_dialog.ModeButton(other)->SetState(other == mode);

    CPreviewArea* preview = m_dialog.Preview();
    switch (mode) {
    case MediaMode::Solo:
    case MediaMode::Conference:
        preview->ShowPlaceholder();
        preview->hide();
        preview->show();
        break;
    case MediaMode::Video:
        CCaptureGraph::Instance().SetOwnerWindow(preview);
        CCaptureGraph::Instance().StartPreview();
        record->SetEnabledState(CCaptureGraph::Instance().GetDeviceState() != 1);
        preview->show();
        break;
    case MediaMode::Photo:
        CPhotoCapture::Instance().StartPreview(0, preview, 1024, 768);
        record->SetEnabledState(CPhotoCapture::Instance().GetDeviceState() != 1);
        preview->show();
        break;
    }
    FillList(m_dialog, mode);
    m_dialog.SetDialogMode(mode);
    m_dialog.List()->SetMode(ToInt(mode));
    CProgramState::busy = false;
    m_dialog.Hook().InstallKeyboardHook(&m_dialog);
}

void CRecordingControl::LeaveCurrentMode()
{
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    switch (m_dialog.Mode()) {
    case MediaMode::Video:
        if (CCaptureGraph::Instance().IsRecording() == 1) {
            CCaptureGraph::Instance().StopRecording();
            record->SetLatched(false);
            SetRecordLED(0);
        }
        CCaptureGraph::Instance().CloseInterfaces();
        break;
    case MediaMode::Photo:
        CPhotoCapture::Instance().StopPreview();
        break;
    case MediaMode::Solo:
    case MediaMode::Conference:
        if (CAudioRecorder::Instance().IsRunning() == 1) {
            CAudioRecorder::Instance().Stop();
            record->SetLatched(false);
            SetRecordLED(0);
        }
        CAudioRecorder::Instance().ReleaseAll();
        break;
    }
}

void CRecordingControl::OnSessionLock()
{
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    switch (m_dialog.Mode()) {
    case MediaMode::Solo:
    case MediaMode::Conference:
        if (CAudioRecorder::Instance().IsRunning() == 1) {
            CProgramState::recordSwitching = true;
            CAudioRecorder::Instance().Stop();
            SetRecordLED(0);
            record->SetLatched(false);
            CProgramState::recordSwitching = false;
        }
        CAudioRecorder::Instance().ReleaseAll();
        break;
    case MediaMode::Video:
        if (CCaptureGraph::Instance().IsRecording() == 1) {
            CProgramState::recordSwitching = true;
            StopVideoRecordingAndPreview();
            record->SetLatched(false);
            CProgramState::recordSwitching = false;
        }
        CCaptureGraph::Instance().CloseInterfaces();
        break;
    case MediaMode::Photo:
        CPhotoCapture::Instance().StopPreview();
        break;
    }
}

void CRecordingControl::StopAudioRecording()
{
    CAudioRecorder::Instance().Stop();
    SetRecordLED(0);
    m_dialog.Button(CCorvanaDlg::IDC_RECORD)->SetLatched(false);
}

void CRecordingControl::StopVideoRecordingAndPreview()
{
    CCaptureGraph::Instance().StopRecording();
    SetRecordLED(0);
    CPhotoCapture::Instance().StopPreview();
    CCaptureGraph::Instance().SetOwnerWindow(m_dialog.Preview());
    CCaptureGraph::Instance().StartPreview();
}

void CRecordingControl::ShutDownCapture()
{
    switch (m_dialog.Mode()) {
    case MediaMode::Solo:
    case MediaMode::Conference:
        if (CAudioRecorder::Instance().IsRunning() == 1)
            CAudioRecorder::Instance().Stop();
        CAudioRecorder::Instance().ReleaseAll();
        break;
    case MediaMode::Video:
        if (CCaptureGraph::Instance().IsRecording() == 1)
            CCaptureGraph::Instance().StopRecording();
        CCaptureGraph::Instance().CloseInterfaces();
        break;
    case MediaMode::Photo:
        CPhotoCapture::Instance().StopPreview();
        break;
    }
}

void CRecordingControl::StopRecordingForPlayer()
{
    CHoverButton* record = m_dialog.Button(CCorvanaDlg::IDC_RECORD);
    if (IsAudioMode(m_dialog.Mode())) {
        if (CAudioRecorder::Instance().IsRunning() == 1)
            StopAudioRecording();
    } else if (m_dialog.Mode() == MediaMode::Video) {
        if (CCaptureGraph::Instance().IsRecording() == 1) {
            StopVideoRecordingAndPreview();
            record->SetLatched(false);
        }
    }
}

} // namespace corvana
