#include "ui/CCorvanaDlg.h"

#include "quillon.h"
#include "capture/CaptureEngine.h"
#include "library/MediaFolders.h"
#include "res/Bitmaps.h"
#include "support/CPlayerSteering.h"
#include "support/CSessionLock.h"
#include "support/CSessionNotifier.h"
#include "support/CSettingsStore.h"
#include "support/CSpecialKeys.h"
#include "support/Logging.h"
#include "support/MessageBox.h"
#include "support/SpeakerVolume.h"
#include "support/WindowMessages.h"
#include "ui/CAboutDlg.h"
#include "ui/CCaptureObjects.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaListBox.h"
#include "ui/CPicture.h"
#include "ui/CPlaybackControl.h"
#include "ui/CPreviewArea.h"
#include "ui/CProgramState.h"
#include "ui/CRecordingControl.h"
#include "ui/CShownPhoto.h"
#include "ui/CVolumeIndicator.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace corvana {

namespace {

struct ButtonLayout {
    int id;
    QPoint position;
    int normal, hover, pressed, disabled;
    const char* caption;
    const char* description;
};

// Positions relative to the dialog's top-left corner; each button takes its normal image's size.
// The images are given in this order.
constexpr ButtonLayout kButtons[] = {
    {CCorvanaDlg::IDC_EXIT, {462, 6}, 150, 151, 149, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Exit"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Closes the window; Corvana keeps waiting for the special keys.")},
    {CCorvanaDlg::IDC_PLAY, {52, 406}, 137, 138, 139, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Play"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Plays the selected file, or shows the selected photo.")},
    {CCorvanaDlg::IDC_RECORD, {316, 406}, 140, 141, 142, 195, QT_TRANSLATE_NOOP("CCorvanaDlg", "Record"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Starts or stops recording in the current mode, or takes a photo.")},
    {CCorvanaDlg::IDC_PREVIOUS, {140, 406}, 143, 144, 145, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Previous"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Goes to the previous file.")},
    {CCorvanaDlg::IDC_NEXT, {258, 406}, 134, 135, 136, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Next"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Goes to the next file.")},
    {CCorvanaDlg::IDC_STOP, {198, 406}, 146, 147, 133, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Stop"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Stops playing or recording.")},
    {CCorvanaDlg::IDC_SOLO, {406, 156}, 159, 160, 161, 196, QT_TRANSLATE_NOOP("CCorvanaDlg", "Solo"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Records one speaker with the microphone.")},
    {CCorvanaDlg::IDC_CONFERENCE, {406, 216}, 153, 154, 155, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Conference"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Records a meeting of several speakers.")},
    {CCorvanaDlg::IDC_VIDEO, {406, 276}, 162, 163, 152, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Video Record"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Records video from the camera.")},
    {CCorvanaDlg::IDC_PHOTO, {406, 336}, 156, 157, 158, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Photo Grab"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Takes photos with the camera.")},
    {CCorvanaDlg::IDC_ABOUT, {412, 120}, 174, 175, 173, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "ABOUT"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Shows the version and the copyright.")},
    {CCorvanaDlg::IDC_VOLUME_UP, {386, 400}, 190, 191, 186, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Volume up"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Raises the speaker volume.")},
    {CCorvanaDlg::IDC_VOLUME_DOWN, {386, 424}, 187, 188, 189, 0, QT_TRANSLATE_NOOP("CCorvanaDlg", "Volume down"),
     QT_TRANSLATE_NOOP("CCorvanaDlg", "Lowers the speaker volume.")},
};

constexpr int kSkinBitmapId = 148;
constexpr int kPreviewPlaceholder = 176;
constexpr QPoint kPreviewPosition{50, 154};
constexpr QPoint kVolumeLevelPosition{412, 402};
constexpr int kVolumeLevelBitmap = 179;
constexpr QRect kFileListRect{48, 464, 410, 122};

// The skin without the pixels of its key colour (the colour at 0,0, give or take 16 per channel),
// collected row by row as runs.
QRegion SkinRegion(const QImage& skin)
{
    const QImage image = skin.convertToFormat(QImage::Format_RGB32);
    const QRgb key = image.pixel(0, 0);
    auto transparent = [key](QRgb pixel) {
        auto within = [](int value, int base) { return value >= base && value <= std::min(base + 16, 255); };
        return within(qRed(pixel), qRed(key)) && within(qGreen(pixel), qGreen(key)) && within(qBlue(pixel), qBlue(key));
    };
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && transparent(row[x]))
                ++x;
            const int start = x;
            while (x < image.width() && !transparent(row[x]))
                ++x;
            if (x > start)
                region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

} // namespace

CCorvanaDlg::CCorvanaDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_picture(std::make_unique<CPicture>())
{
    setObjectName(QStringLiteral("CorvanaDlg"));
    setWindowTitle(QCoreApplication::translate("CCorvanaDlg", "Corvana"));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The template's size until the skin sets the real one.
    resize(500, 618);
    CreateControls();
    m_session = new CSessionNotifier(this);
    m_capture = std::make_unique<CCaptureObjects>();
    m_recording = std::make_unique<CRecordingControl>(*this, *m_capture);
    m_playback = std::make_unique<CPlaybackControl>(static_cast<IPlaybackView&>(*this));
    m_specialKeys = new CSpecialKeys(*this, this);
    // The meter moves at most 30 times a second; the time changes once a second of that.
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(33);
    connect(m_progressTimer, &QTimer::timeout, this, &CCorvanaDlg::ShowRecordingProgress);
}

CCorvanaDlg::~CCorvanaDlg()
{
    OnDestroy();
}

void CCorvanaDlg::CreateControls()
{
    for (const ButtonLayout& layout : kButtons) {
        auto* button = new CHoverButton(this);
        button->setObjectName(QString::number(layout.id));
        const QString caption = QCoreApplication::translate("CCorvanaDlg", layout.caption);
        button->setToolTip(caption);
        button->setAccessibleName(caption);
        button->setAccessibleDescription(QCoreApplication::translate("CCorvanaDlg", layout.description));
        m_buttons[layout.id] = button;
    }
    m_volumeLevel = new CVolumeIndicator(this);
    m_volumeLevel->setObjectName(QString::number(IDC_VOLUME_LEVEL));
    m_volumeLevel->setAccessibleName(QCoreApplication::translate("CCorvanaDlg", "Volume"));
    m_volumeLevel->setAccessibleDescription(
        QCoreApplication::translate("CCorvanaDlg", "The speaker volume, shown in eight steps."));
    // Latched buttons are checked to assistive tools: the mode, a recording, a held photo.
    for (int latching : {IDC_SOLO, IDC_CONFERENCE, IDC_VIDEO, IDC_PHOTO, IDC_RECORD, IDC_PLAY})
        m_buttons[latching]->SetLatchable(true);
    m_preview = new CPreviewArea(this);
    m_preview->setObjectName(QString::number(IDC_PREVIEW));
    m_preview->setAccessibleName(QCoreApplication::translate("CCorvanaDlg", "Preview"));
    m_preview->setAccessibleDescription(
        QCoreApplication::translate("CCorvanaDlg", "The camera's picture, or the photo being shown."));
    m_fileList = new CMediaListBox(this);
    m_fileList->setObjectName(QString::number(IDC_LIST));
    m_fileList->setAccessibleName(QCoreApplication::translate("CCorvanaDlg", "Files"));
    m_fileList->setAccessibleDescription(
        QCoreApplication::translate("CCorvanaDlg",
                                    "The files of the current mode. A double click plays one, Delete removes it."));
    // The keyboard starts in the list, not on a button, so Enter presses nothing until Tab has
    // reached one; Tab then walks the buttons from the modes down to the transport, the volume
    // and the title strip.
    QWidget* previous = m_fileList;
    for (int id : {IDC_SOLO, IDC_CONFERENCE, IDC_VIDEO, IDC_PHOTO, IDC_PLAY, IDC_PREVIOUS, IDC_STOP, IDC_NEXT,
                   IDC_RECORD, IDC_VOLUME_UP, IDC_VOLUME_DOWN, IDC_ABOUT, IDC_EXIT}) {
        setTabOrder(previous, Button(id));
        previous = Button(id);
    }
    m_fileList->setFocus();
    // The list sits in a recessed frame of the skin: dark like it, with the accent for selection.
    m_fileList->setStyleSheet(QStringLiteral(
        "QListWidget { background: #131518; color: #d3d8df; border: 1px solid #111316;"
        " font-family: 'DejaVu Sans'; font-size: 9pt; }"
        "QListWidget::item:selected { background: #2bb3a3; color: #101214; }"
        "QScrollBar:vertical { background: #17191c; width: 10px; margin: 0; }"
        "QScrollBar::handle:vertical { background: #3b3f46; min-height: 24px; border-radius: 4px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));

    connect(Button(IDC_EXIT), &QAbstractButton::clicked, this, &CCorvanaDlg::OnExit);
    connect(Button(IDC_ABOUT), &QAbstractButton::clicked, this, &CCorvanaDlg::OnAbout);
    connect(Button(IDC_PLAY), &QAbstractButton::clicked, this, &CCorvanaDlg::OnPlay);
    connect(Button(IDC_PREVIOUS), &QAbstractButton::clicked, this, &CCorvanaDlg::OnPrevious);
    connect(Button(IDC_NEXT), &QAbstractButton::clicked, this, &CCorvanaDlg::OnNext);
    connect(Button(IDC_RECORD), &QAbstractButton::clicked, this, &CCorvanaDlg::OnRecord);
    connect(Button(IDC_STOP), &QAbstractButton::clicked, this, &CCorvanaDlg::OnStop);
    connect(Button(IDC_SOLO), &QAbstractButton::clicked, this, &CCorvanaDlg::OnSolo);
    connect(Button(IDC_CONFERENCE), &QAbstractButton::clicked, this, &CCorvanaDlg::OnConference);
    connect(Button(IDC_VIDEO), &QAbstractButton::clicked, this, &CCorvanaDlg::OnVideoRecord);
    connect(Button(IDC_PHOTO), &QAbstractButton::clicked, this, &CCorvanaDlg::OnPhotoGrab);
    connect(Button(IDC_VOLUME_UP), &QAbstractButton::clicked, this, &CCorvanaDlg::OnVolumeUp);
    connect(Button(IDC_VOLUME_DOWN), &QAbstractButton::clicked, this, &CCorvanaDlg::OnVolumeDown);
    connect(m_fileList, &CMediaListBox::DoubleClicked, this, [this] { m_playback->OnListDoubleClick(); });
}

CHoverButton* CCorvanaDlg::Button(int id) const
{
    const auto found = m_buttons.find(id);
    return found == m_buttons.end() ? nullptr : found->second;
}

CHoverButton* CCorvanaDlg::ModeButton(MediaMode mode) const
{
    switch (mode) {
    case MediaMode::Solo: return Button(IDC_SOLO);
    case MediaMode::Conference: return Button(IDC_CONFERENCE);
    case MediaMode::Video: return Button(IDC_VIDEO);
    case MediaMode::Photo: return Button(IDC_PHOTO);
    }
    return nullptr;
}

bool CCorvanaDlg::IsAnyOpen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (window->objectName() == QLatin1String("CorvanaDlg") && window->isVisible())
            return true;
    return false;
}

int CCorvanaDlg::exec()
{
    OnSize();
    OnInitDialog();
    return QDialog::exec();
}

void CCorvanaDlg::OnSize()
{
    if (!m_skinBitmap.isNull())
        return;
    m_skinBitmap = LoadBitmap(kSkinBitmapId);
    if (m_skinBitmap.isNull()) {
        ShowMessageBox(this, QCoreApplication::translate("CCorvanaDlg", "Error loading bitmap"), QMessageBox::NoIcon);
        return;
    }
    m_skinSize = m_skinBitmap.deviceIndependentSize().toSize();
    // Centred by halving with integer division; not clamped to the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(m_skinSize);
    const int x = screenSize.width() / 2 - m_skinSize.width() / 2;
    const int y = screenSize.height() / 2 - m_skinSize.height() / 2;
    setFixedSize(m_skinSize);
    // The skin's corners are in its key colour: the window takes the skin's rounded outline.
    setMask(SkinRegion(BitmapImage(kSkinBitmapId)));
    move(x, y);
    raise();
}

void CCorvanaDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    OnSize();
}

void CCorvanaDlg::OnInitDialog()
{
    if (m_initialised)
        return;
    m_initialised = true;
    CaptureEngine::WarmUp();
    m_session->Register(this);
    setWindowIcon(ProgramIcon());

    for (const ButtonLayout& layout : kButtons) {
        if (layout.id == IDC_VOLUME_UP)
            UpdateVolumeIndicator();
        Button(layout.id)->LoadStateImages(layout.normal, layout.hover, layout.pressed, layout.disabled);
    }
    for (const ButtonLayout& layout : kButtons)
        Button(layout.id)->move(layout.position);
    m_preview->SetPlaceholder(LoadBitmap(kPreviewPlaceholder));
    m_preview->setGeometry(QRect(kPreviewPosition, BitmapSize(kPreviewPlaceholder)));
    m_volumeLevel->setGeometry(QRect(kVolumeLevelPosition, BitmapSize(kVolumeLevelBitmap)));
    m_fileList->setGeometry(kFileListRect);

    m_previewRect = QRect(QPoint(0, 0), m_preview->size());
    m_picture->MeasureOnDevice(m_preview);
    MediaFolders::CreateAll();
    TakeDialogForeground();
    CShownPhoto& shownPhoto = CShownPhoto::ForProgram();
    Button(IDC_PLAY)->SetHeld(shownPhoto.Shown());
    shownPhoto.SetListener([this](bool shown) { Button(IDC_PLAY)->SetHeld(shown); });
    // Opened on a locked desk (by a second start), it shows its mode but captures nothing.
    m_recording->SetSessionLocked(CSessionLock::IsLocked());
    RestoreMode(CSettingsStore::LoadModeState(), true);
    shownPhoto.SetIndex(m_fileList->GetCurSel());
    m_hook.InstallKeyboardHook(this);
}

void CCorvanaDlg::RestoreMode(int modeState, bool applyArrayMic)
{
    if (applyArrayMic && CSettingsStore::LoadArrayMic() == 0)
        Button(IDC_SOLO)->SetEnabledState(false);
    if (const auto mode = MediaModeFromInt(modeState)) {
        m_recording->RestoreMode(*mode);
        return;
    }
    if (!applyArrayMic)
        return;
    // No valid stored mode: Conference on a machine without the array microphone, else Solo.
    if (CSettingsStore::LoadArrayMic() == 0) {
        m_recording->RestoreMode(MediaMode::Conference);
    } else {
        Button(IDC_SOLO)->SetEnabledState(true);
        m_recording->RestoreMode(MediaMode::Solo);
    }
}

void CCorvanaDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A close request that arrived while the dialog was being set up closes it at once.
    if (m_closeRequested && m_closeRequested())
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void CCorvanaDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_skinBitmap.isNull())
        painter.drawPixmap(QPointF(0, 0), m_skinBitmap);
    else
        painter.fillRect(rect(), Qt::black);
    if (Mode() == MediaMode::Video || Mode() == MediaMode::Photo)
        CorrectRecordByDevices();
}

void CCorvanaDlg::CorrectRecordByDevices()
{
    const bool available = m_recording->RecordAvailable();
    CHoverButton* record = Button(IDC_RECORD);
    if (record->IsEnabledState() == available)
        return;
    // Not from inside this paint: the button repaints itself at once. By the time this runs the
    // mode may have changed, so it is decided again then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (Mode() == MediaMode::Video || Mode() == MediaMode::Photo)
                Button(IDC_RECORD)->SetEnabledState(m_recording->RecordAvailable());
        },
        Qt::QueuedConnection);
}

void CCorvanaDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter never closes the dialog; Escape does (the base class).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CCorvanaDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // The whole body acts as a title bar.
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void CCorvanaDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void CCorvanaDlg::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void CCorvanaDlg::customEvent(QEvent* event)
{
    if (event->type() == EventTypeOf(WM_HOOKKEY)) {
        const auto* message = static_cast<CMessageEvent*>(event);
        m_specialKeys->HandleHookKey(static_cast<std::uint32_t>(message->wParam()),
                                     static_cast<std::uint32_t>(message->lParam()));
    } else if (event->type() == EventTypeOf(WM_WTSSESSION_CHANGE)) {
        OnSessionChange(static_cast<int>(static_cast<CMessageEvent*>(event)->wParam()));
    }
}

void CCorvanaDlg::OnSessionChange(int event)
{
    const bool dialogExists = IsAnyOpen();
    if (event == WTS_CONSOLE_CONNECT)
        CProgramState::consoleConnected = true;
    else if (event == WTS_CONSOLE_DISCONNECT)
        CProgramState::consoleConnected = false;

    switch (event) {
    case WTS_CONSOLE_CONNECT:
        // Back at a console that is still locked, the restore waits for the unlock to capture.
        m_recording->SetSessionLocked(CSessionLock::IsLocked());
        RestoreMode(CSettingsStore::LoadModeState(), false);
        if (dialogExists)
            SetModeLED(1);
        break;
    case WTS_SESSION_UNLOCK:
        if (CProgramState::consoleConnected) {
            m_recording->SetSessionLocked(CSessionLock::IsLocked());
            RestoreMode(CSettingsStore::LoadModeState(), false);
            if (dialogExists)
                SetModeLED(1);
        }
        break;
    case WTS_SESSION_LOCK:
        m_recording->OnSessionLock();
        SetModeLED(0);
        CSettingsStore::SaveModeState(ToInt(Mode()));
        break;
    default:
        break;
    }
}

void CCorvanaDlg::ShutDownCapture()
{
    m_recording->ShutDownCapture();
}

void CCorvanaDlg::OnExit()
{
    m_session->Unregister();
    if (CProgramState::busy)
        return;
    CProgramState::busy = true;
    ShutDownCapture();
    CSettingsStore::SaveModeState(ToInt(Mode()));
    CProgramState::busy = false;
    done(0);
}

void CCorvanaDlg::reject()
{
    // Escape ends the dialog with the cancel result, 2.
    done(2);
}

void CCorvanaDlg::done(int result)
{
    OnDestroy();
    QDialog::done(result);
}

void CCorvanaDlg::OnDestroy()
{
    if (m_destroyed || !m_initialised)
        return;
    m_destroyed = true;
    CShownPhoto::ForProgram().SetListener(nullptr);
    m_session->Unregister();
    m_hook.RemoveKeyboardHook();
    ShutDownCapture();
    CSettingsStore::SaveModeState(ToInt(Mode()));
    SetModeLED(0);
    SetRecordLED(0);
}

void CCorvanaDlg::OnAbout()
{
    CAboutDlg about;
    about.exec();
}

MediaMode CCorvanaDlg::Mode() const
{
    return m_recording->Mode();
}

IPreviewSurface* CCorvanaDlg::PreviewSurface()
{
    return m_preview;
}

void CCorvanaDlg::ShowPlaceholder()
{
    m_preview->ShowPlaceholder();
    m_preview->hide();
    m_preview->show();
}

void CCorvanaDlg::ShowPreview()
{
    m_preview->show();
}

void CCorvanaDlg::LatchRecord(bool latched)
{
    Button(IDC_RECORD)->SetLatched(latched);
    // A photo's grab latches Record for a moment; only recordings show their progress.
    if (latched && Mode() != MediaMode::Photo) {
        ShowRecordingProgress();
        m_progressTimer->start();
    } else {
        m_progressTimer->stop();
        m_preview->HideRecordingProgress();
    }
}

QString CCorvanaDlg::ElapsedText(double seconds)
{
    const int whole = std::max(0, static_cast<int>(seconds));
    const int hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    return hours > 0 ? QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

void CCorvanaDlg::ShowRecordingProgress()
{
    if (Mode() == MediaMode::Video) {
        m_preview->ShowRecordingProgress(ElapsedText(m_capture->RecordedSeconds(MediaMode::Video)), std::nullopt);
        return;
    }
    m_preview->ShowRecordingProgress(ElapsedText(m_capture->RecordedSeconds(Mode())), m_capture->SoundLevel());
}

void CCorvanaDlg::EnableRecord(bool enabled)
{
    Button(IDC_RECORD)->SetEnabledState(enabled);
}

void CCorvanaDlg::LatchModeButton(MediaMode mode, bool latched)
{
    ModeButton(mode)->SetLatched(latched);
}

void CCorvanaDlg::PushModeButton(MediaMode mode, bool pushed)
{
    ModeButton(mode)->SetState(pushed);
}

void CCorvanaDlg::UncheckModeButton(MediaMode mode)
{
    ModeButton(mode)->SetCheck(0);
}

void CCorvanaDlg::FillList(MediaMode mode, const QString& selectPath)
{
    m_fileList->FillList(MediaFolders::ModeFolder(mode) + MediaFolders::ListingPattern(mode));
    if (selectPath.isEmpty())
        return;
    const QString name = QFileInfo(selectPath).fileName();
    for (int index = 0; index < m_fileList->GetCount(); ++index)
        if (m_fileList->GetText(index) == name)
            m_fileList->SetCurSel(index);
}

void CCorvanaDlg::SetListMode(MediaMode mode)
{
    m_fileList->SetMode(ToInt(mode));
}

void CCorvanaDlg::SuspendSpecialKeys()
{
    m_hook.RemoveKeyboardHook();
}

void CCorvanaDlg::ResumeSpecialKeys()
{
    m_hook.InstallKeyboardHook(this);
}

bool CCorvanaDlg::PlayerOpen()
{
    return CPlayerSteering::PlayerRunning();
}

void CCorvanaDlg::StopPlayer()
{
    CPlayerSteering::SteerPlayer(CPlayerSteering::StopKeys);
}

void CCorvanaDlg::ClosePlayer()
{
    CPlayerSteering::ClosePlayerIfRunning();
}

int CCorvanaDlg::ListCount() const
{
    return m_fileList->GetCount();
}

int CCorvanaDlg::ListSelection() const
{
    return m_fileList->GetCurSel();
}

void CCorvanaDlg::SelectListItem(int index)
{
    m_fileList->SetCurSel(index);
}

QString CCorvanaDlg::ListText(int index) const
{
    return m_fileList->GetText(index);
}

void CCorvanaDlg::StopRecordingForPlayer()
{
    m_recording->StopRecordingForPlayer();
}

void CCorvanaDlg::ShowPhotoFile(const QString& path)
{
    m_picture->Load(path);
    const QRect target = m_previewRect;
    CPicture& picture = *m_picture;
    m_preview->PaintOver([&picture, target](QPainter& painter, const QRect&) { picture.Draw(&painter, target); });
}

void CCorvanaDlg::PauseLivePicture()
{
    m_capture->PauseLivePhoto();
}

void CCorvanaDlg::ResumeLivePicture()
{
    m_capture->ResumeLivePhoto();
}

bool CCorvanaDlg::PlayerRunning()
{
    return CPlayerSteering::PlayerRunning();
}

void CCorvanaDlg::PlayPausePlayer()
{
    CPlayerSteering::SteerPlayer(CPlayerSteering::PlayPauseKeys);
}

void CCorvanaDlg::OpenInPlayer(const QString& path)
{
    CPlayerSteering::Open(path);
}

void CCorvanaDlg::Tell(const QString& text)
{
    // After the step that failed has finished, so that no nested event loop runs inside it.
    QPointer<CCorvanaDlg> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, text] {
            if (self && self->isVisible())
                ShowMessageBox(self, text, QMessageBox::Warning);
        },
        Qt::QueuedConnection);
}

void CCorvanaDlg::OnSolo() { m_recording->EnterMode(MediaMode::Solo); }
void CCorvanaDlg::OnConference() { m_recording->EnterMode(MediaMode::Conference); }
void CCorvanaDlg::OnVideoRecord() { m_recording->EnterMode(MediaMode::Video); }
void CCorvanaDlg::OnPhotoGrab() { m_recording->EnterMode(MediaMode::Photo); }
void CCorvanaDlg::OnRecord() { m_recording->Record(); }
void CCorvanaDlg::OnStop() { m_recording->Stop(); }
void CCorvanaDlg::OnPlay() { m_playback->OnPlay(); }
void CCorvanaDlg::OnPrevious() { m_playback->OnPrevious(); }
void CCorvanaDlg::OnNext() { m_playback->OnNext(); }

void CCorvanaDlg::ShowVolumeLevel(int bitmapId)
{
    m_volumeBitmap = bitmapId;
    int level = 0;
    for (int candidate = 1; candidate <= CVolumeIndicator::kLevels; ++candidate)
        if (VolumeLevelBitmap(candidate) == bitmapId)
            level = candidate;
    m_volumeLevel->ShowLevel(level, LoadBitmap(bitmapId));
}

int CCorvanaDlg::UpdateVolumeIndicator()
{
    return corvana::UpdateVolumeIndicator([this](int bitmapId) { ShowVolumeLevel(bitmapId); });
}

void CCorvanaDlg::OnVolumeUp()
{
    corvana::OnVolumeUp([this](int bitmapId) { ShowVolumeLevel(bitmapId); });
}

void CCorvanaDlg::OnVolumeDown()
{
    corvana::OnVolumeDown([this](int bitmapId) { ShowVolumeLevel(bitmapId); });
}

void CCorvanaDlg::SaveModeAndEnd()
{
    CSettingsStore::SaveModeState(ToInt(Mode()));
    done(0);
}

bool CCorvanaDlg::ClosePlayerIfRunning()
{
    return CPlayerSteering::ClosePlayerIfRunning();
}

void CCorvanaDlg::TakeDialogForeground()
{
    raise();
    activateWindow();
}

} // namespace corvana
