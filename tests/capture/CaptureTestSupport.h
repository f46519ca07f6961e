#pragma once
// Shared pieces of the capture tests: a preview surface that records what it was shown, the
// documents folder of the test run, and ffmpeg readers for the written files.
#include "MessageBoxWatcher.h"

#include "capture/CaptureDevice.h"
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

class TestSurface : public corvana::IPreviewSurface {
public:
    explicit TestSurface(QSize size = QSize(320, 240)) : m_size(size) {}
    void PresentFrame(const QImage& frame) override
    {
        ++frames;
        lastFrame = frame;
    }
    void ShowPlaceholder() override { ++placeholders; }
    QSize ClientSize() const override { return m_size; }

    int frames = 0;
    int placeholders = 0;
    QImage lastFrame;

private:
    QSize m_size;
};

namespace capturetest {

// The media folder of a mode under the test's documents folder, e.g. ".../Corvana/Video/".
QString Folder(const QString& subfolder);
QStringList FilesIn(const QString& subfolder, const QString& pattern);
// What ffmpeg reports as wrong while decoding the whole file (empty for a clean file).
QString DecodeErrors(const QString& path);
// The file's audio decoded to mono 16-bit samples at the given rate.
std::vector<qint16> DecodeAudio(const QString& path, int rate);
// Relative strength of a tone in the samples, 0..1: Goertzel power over total power, averaged
// over 50 ms windows.
double ToneShare(const std::vector<qint16>& samples, int rate, double frequency);
// Mean absolute difference of two images' RGB channels after scaling b to a's size.
double MeanDifference(const QImage& a, const QImage& b);

// The synthetic devices under other names, for fed device lists.
corvana::CaptureDevice Webcam(const QString& name, bool analog = false);
corvana::CaptureDevice Microphone(const QString& name);

} // namespace capturetest

// Collects the capture subsystem's debug lines while it lives.
class DebugLines {
public:
    DebugLines();
    ~DebugLines();
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;
    int Containing(const QString& text) const;
    QStringList lines;

private:
    static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QtMessageHandler m_previous;
};

// Tests that feed their own device list through the discovery seam; every capture object is
// closed and the list handed back afterwards.
class FedDevices : public ::testing::Test {
protected:
    void Feed(std::vector<corvana::CaptureDevice> video, std::vector<corvana::CaptureDevice> audio);
    void TearDown() override;

    MessageBoxWatcher boxes;
    TestSurface surface;
};
