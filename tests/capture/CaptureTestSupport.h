#pragma once
// Shared pieces of the capture tests, with the capture objects they drive: a preview surface that
// keeps what it was shown, readers for the written files, the capture subsystem's debug lines and
// a fixture that feeds its own devices.
#include "MediaProbe.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/CaptureDevice.h"
#include "capture/HResult.h"
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

class TestSurface : public corvana::IPreviewSurface {
public:
    void PresentFrame(const QImage& frame) override { ++frames, lastFrame = frame; }
    void ShowPlaceholder() override { ++placeholders; }
    QSize ClientSize() const override { return {320, 240}; }
    // Whether frames go on arriving.
    bool Advances() const
    {
        const int shown = frames;
        return QTest::qWaitFor([&] { return frames > shown + 2; }, 3000);
    }
    int frames = 0;
    int placeholders = 0;
    QImage lastFrame;
};

namespace capturetest {

// The media folder of a mode in the test's documents folder, e.g. ".../Corvana/Video/".
QString Folder(const QString& subfolder);
// Mean absolute difference of two images' RGB channels after scaling b to a's size.
double MeanDifference(const QImage& a, const QImage& b);
// The synthetic devices under other names, for fed device lists.
corvana::CaptureDevice Webcam(const QString& name, bool analog = false);
corvana::CaptureDevice Microphone(const QString& name);
// A webcam that sends JPEG only, as many USB cameras do; its still test pattern's first bar is white.
corvana::CaptureDevice JpegWebcam();
// The audio recorder built for the default microphone into the AudioSolo folder: the first step's
// failure, else the last step's result.
corvana::HRESULT PrepareAudio();
// The capture graph previewing into `surface`.
corvana::HRESULT StartPreview(TestSurface& surface);
// Records with the running preview until the recording holds `seconds`, then stops; the file's path.
QString RecordAtLeast(double seconds);

} // namespace capturetest

// Collects the capture subsystem's debug lines while it lives.
class DebugLines {
public:
    DebugLines();
    ~DebugLines();
    int Containing(const QString& text) const { return static_cast<int>(lines.filter(text).size()); }
    std::string All() const { return lines.join(QLatin1Char('\n')).toStdString(); }
    QStringList lines;

private:
    QtMessageHandler m_previous;
};

// Tests that feed their own device list through the discovery seam; every capture object is
// closed and the list handed back afterwards.
class FedDevices : public ::testing::Test {
protected:
    void Feed(std::vector<corvana::CaptureDevice> video, std::vector<corvana::CaptureDevice> audio);
    void TearDown() override;

    TestSurface surface;
};
