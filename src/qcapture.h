#pragma once
// The capture overlay: the frozen screen, the selection with the inverting
// crosshair and outline, the region's output, and the JPEG conversion.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "components/image.h"
#include "platform/platform.h"

namespace kwp {

// The picture save dialog of the overlay; it remembers the last chosen path.
struct TSavePictureDialog {
    std::string Filter = "JPEG Image File (*.jpg)|*.jpg";
    std::string DefaultExt = "jpg";
    std::string FileName;
    // True when the user accepted a name (then in FileName).
    bool Execute(platform::Platform& platform);
};

class TForm5 {
public:
    // Created hidden, timer stopped.
    explicit TForm5(platform::Platform& platform);
    ~TForm5();
    TForm5(const TForm5&) = delete;
    TForm5& operator=(const TForm5&) = delete;

    std::unique_ptr<platform::Timer> Timer1;
    std::unique_ptr<TImage> Image1;
    TSavePictureDialog SavePictureDialog1;

    void Timer1Timer();
    void Image1MouseMove(int X, int Y);
    void Image1MouseDown(platform::MouseButton Button, int X, int Y);
    // Esc ends the capture as the window system's close does.
    void FormKeyDown(uint8_t Key);

    // Starts a capture: the screen is taken 300 ms later.
    void StartCapture();

    platform::Platform& Platform() { return platform_; }
    bool Visible() const { return window_->Visible(); }

private:
    void SecondClick(int X, int Y);
    void DrawCrosshair(int x, int y);
    void SetInvertingPen();
    void Close();

    platform::Platform& platform_;
    std::unique_ptr<platform::OverlayWindow> window_;
};

// Rewrites the bitmap file at `path` as a JPEG at the quality in the main
// window's quality box, under the save dialog's file name.
void ConvertFileToJpeg(const std::string& path);

// The one overlay, for the life of the program.
extern TForm5* Form5;

// The selection state, one set for the program.
extern bool CrosshairOn;
extern bool Dragging;
extern int32_t CrossX, CrossY;
extern int32_t StartX, StartY;
extern int32_t EndX, EndY;
extern int32_t FinalX, FinalY;

}  // namespace kwp
