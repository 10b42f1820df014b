#include "qcapture.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "core/bmp.h"
#include "core/int_text.h"
#include "core/jpeg.h"
#include "setkey.h"

namespace kwp {

TForm5* Form5 = nullptr;

bool CrosshairOn = false;
bool Dragging = false;
int32_t CrossX = 0, CrossY = 0;
int32_t StartX = 0, StartY = 0;
int32_t EndX = 0, EndY = 0;
int32_t FinalX = 0, FinalY = 0;

namespace {

constexpr int kCaptureDelayMs = 300;
constexpr uint8_t kVkEscape = 0x1B;

void ResetSelectionState() {
    CrosshairOn = Dragging = false;
    CrossX = CrossY = StartX = StartY = EndX = EndY = FinalX = FinalY = 0;
}

// Repaints what a handler drew, on every way out of it.
struct RepaintOnExit {
    TImage& image;
    ~RepaintOnExit() { image.RepaintChanges(); }
};

}  // namespace

bool TSavePictureDialog::Execute(platform::Platform& platform) {
    std::optional<std::string> chosen = platform.RunSaveDialog({Filter, DefaultExt, FileName});
    if (!chosen) return false;
    FileName = *chosen;
    return true;
}

TForm5::TForm5(platform::Platform& platform) : platform_(platform) {
    ResetSelectionState();
    window_ = platform_.NewOverlay({
        [this](int x, int y) { Image1MouseMove(x, y); },
        [this](platform::MouseButton button, int x, int y) { Image1MouseDown(button, x, y); },
        // Closed by the window system half-way through a selection: the next
        // capture starts afresh instead of taking its first press as the
        // second click of the old selection.
        [] { Dragging = false; },
        [this](uint8_t key) { FormKeyDown(key); },
    });
    Image1 = std::make_unique<TImage>(*window_);
    Timer1 = platform_.NewTimer(kCaptureDelayMs, [this] { Timer1Timer(); });
}

TForm5::~TForm5() = default;

void TForm5::StartCapture() { Timer1->SetEnabled(true); }

void TForm5::Timer1Timer() {
    Timer1->SetEnabled(false);  // one start, one tick
    // The last region goes first, so that its memory can take the new
    // snapshot. A showing overlay keeps its picture: the copy is of it.
    if (!window_->Visible()) Image1->SetPicture(core::Bitmap());
    Image1->SetPicture(platform_.CopyScreen(platform_.ScreenWidth(), platform_.ScreenHeight()));
    window_->ShowMaximized();
    CrossX = -1;
    CrossY = -1;
    SetInvertingPen();
    CrosshairOn = true;
}

void TForm5::SetInvertingPen() {
    Image1->Canvas().SetPenMode(core::PenMode::Not);
    Image1->Canvas().SetPenColor(0);
}

void TForm5::DrawCrosshair(int x, int y) {
    core::Canvas& canvas = Image1->Canvas();
    canvas.MoveTo(x, 0);
    canvas.LineTo(x, platform_.ScreenHeight());
    canvas.MoveTo(0, y);
    canvas.LineTo(platform_.ScreenWidth(), y);
}

void TForm5::Image1MouseMove(int X, int Y) {
    RepaintOnExit repaint{*Image1};
    if (Dragging) {
        Image1->Canvas().Rectangle(StartX, StartY, EndX, EndY);
        Image1->Canvas().Rectangle(StartX, StartY, X, Y);
        EndX = X;
        EndY = Y;
    } else if (CrosshairOn) {
        DrawCrosshair(CrossX, CrossY);
        DrawCrosshair(X, Y);
        CrossX = X;
        CrossY = Y;
    }
}

void TForm5::Image1MouseDown(platform::MouseButton, int X, int Y) {
    RepaintOnExit repaint{*Image1};
    if (Dragging) {
        SecondClick(X, Y);
        return;
    }
    CrosshairOn = false;
    DrawCrosshair(CrossX, CrossY);  // erases it where it was last drawn
    StartX = EndX = X;
    StartY = EndY = Y;
    Dragging = true;
    SetInvertingPen();
}

void TForm5::FormKeyDown(uint8_t Key) {
    if (Key != kVkEscape) return;
    // Nothing is stored: the overlay hides and a selection half-way ends.
    Close();
    Dragging = false;
}

void TForm5::SecondClick(int X, int Y) {
    FinalX = X;
    FinalY = Y;
    Dragging = false;
    Image1->Canvas().Rectangle(StartX, StartY, EndX, EndY);  // erases the outline

    const int64_t width = std::llabs(int64_t{FinalX} - StartX);
    const int64_t height = std::llabs(int64_t{FinalY} - StartY);
    const int left = std::min(StartX, FinalX);
    const int top = std::min(StartY, FinalY);
    core::Rect region{left, top, static_cast<int>(left + width), static_cast<int>(top + height)};
    Image1->CropPicture(region);

    platform_.SetClipboardBitmap(Image1->Picture());
    window_->Hide();
    if (!SavePictureDialog1.Execute(platform_)) {
        Close();
        return;
    }
    // Not flushed to disk: the JPEG replaces it at once and is flushed itself.
    platform_.ReplaceFileContents(SavePictureDialog1.FileName, core::Durability::Unflushed,
                                  [this](core::FileSink& sink) { core::WriteBmp(Image1->Picture(), sink); });
    ConvertFileToJpeg(SavePictureDialog1.FileName);
    Close();
}

void TForm5::Close() { window_->Hide(); }

void ConvertFileToJpeg(const std::string& path) {
    platform::Platform& platform = Form5->Platform();
    // The bitmap is read back from the file as the JPEG is made, a few rows
    // at a time: the headers now, the rows while encoding.
    std::unique_ptr<core::FileSource> file = platform.OpenFileSource(path);
    core::BmpReader bitmap(*file);
    const int quality = static_cast<uint8_t>(core::ParseInt(Form2->Edit1->Text()));
    // The bitmap file is replaced only once the JPEG is complete.
    platform.ReplaceFileContents(Form5->SavePictureDialog1.FileName, core::Durability::Flushed,
                                 [&](core::FileSink& sink) { core::EncodeJpeg(bitmap, quality, sink); });
}

}  // namespace kwp
