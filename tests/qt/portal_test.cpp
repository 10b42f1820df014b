// The pure parts of the Wayland services: request paths, answers, where the
// primary display lies in the portal's picture, which files are scratch, the
// shortcut texts, the guard key.
#include <gtest/gtest.h>

#include <QImage>
#include <set>

#include "core/hotkey_value.h"
#include "portal_request.h"
#include "portal_screen.h"
#include "portal_shortcuts.h"
#include "wayland_services.h"

namespace kwp::qt {
namespace {

TEST(PortalRequestTest, PathFollowsTheUniqueNameAndToken) {
    EXPECT_EQ(PortalRequestPath(":1.42", "kwpshot3").toStdString(),
              "/org/freedesktop/portal/desktop/request/1_42/kwpshot3");
    EXPECT_EQ(PortalRequestPath(":12.3.7", "t").toStdString(), "/org/freedesktop/portal/desktop/request/12_3_7/t");
}

TEST(PortalRequestTest, TokensAreUniquePathElements) {
    std::set<QString> seen;
    for (int i = 0; i < 100; ++i) {
        const QString token = NextPortalToken();
        EXPECT_TRUE(seen.insert(token).second) << token.toStdString();
        for (QChar c : token) EXPECT_TRUE(c.isLetterOrNumber() || c == u'_') << token.toStdString();
    }
}

TEST(PortalRequestTest, AnswerCodes) {
    EXPECT_EQ(PortalAnswer(0), PortalRequest::Answer::Ok);
    EXPECT_EQ(PortalAnswer(1), PortalRequest::Answer::Cancelled);
    EXPECT_EQ(PortalAnswer(2), PortalRequest::Answer::Failed);
    EXPECT_EQ(PortalAnswer(77), PortalRequest::Answer::Failed);
}

struct CropCase {
    const char* what;
    QSize picture;
    QRect desktop, primary;
    QRect expected;
};

TEST(PortalScreenTest, PrimaryInPicture) {
    const CropCase cases[] = {
        {"one output", {1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"one output at scale 2", {3840, 2160}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 3840, 2160}},
        {"primary on the right", {3200, 1080}, {0, 0, 3200, 1080}, {1280, 0, 1920, 1080}, {1280, 0, 1920, 1080}},
        {"primary left of the origin", {3200, 1080}, {-1280, 0, 3200, 1080}, {0, 0, 1920, 1080},
         {1280, 0, 1920, 1080}},
        {"taller neighbour below", {1920, 2100}, {0, 0, 1920, 2100}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"picture smaller than the desktop says", {1000, 1080}, {0, 0, 1000, 1080}, {0, 0, 1920, 1080},
         {0, 0, 1000, 1080}},
        {"no picture", {0, 0}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {}},
    };
    for (const CropCase& c : cases)
        EXPECT_EQ(PrimaryInPicture(c.picture, c.desktop, c.primary), c.expected) << c.what;
}

QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgba(x % 256, y % 256, (x * y) % 256, 255));
    return image;
}

TEST(PortalScreenTest, PrimaryBitmapIsTheDisplaysPixels) {
    // Two outputs side by side, the primary on the right.
    const QImage picture = Pattern(300, 100);
    const core::Bitmap bitmap = PrimaryBitmap(picture, {0, 0, 300, 100}, {100, 0, 200, 100}, {200, 100});
    ASSERT_EQ(bitmap.Width(), 200);
    ASSERT_EQ(bitmap.Height(), 100);
    for (const QPoint p : {QPoint(0, 0), QPoint(57, 33), QPoint(199, 99)})
        EXPECT_EQ(bitmap.Pixel(p.x(), p.y()), picture.pixel(p.x() + 100, p.y()) & 0xFFFFFFu);
}

TEST(PortalScreenTest, PrimaryBitmapOfAPictureAtAnotherScaleHasTheDisplaysSize) {
    // The desktop handed over its picture at scale 1 for a display at scale 2.
    QImage picture(100, 50, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    const core::Bitmap bitmap = PrimaryBitmap(picture, {0, 0, 100, 50}, {0, 0, 100, 50}, {200, 100});
    ASSERT_EQ(bitmap.Width(), 200);
    ASSERT_EQ(bitmap.Height(), 100);
    EXPECT_EQ(bitmap.Pixel(199, 99), core::Rgb(10, 20, 30));
}

TEST(PortalScreenTest, ScratchFiles) {
    const QStringList folders{"/tmp", "/var/tmp", "/home/u/.cache"};
    const struct {
        const char* path;
        bool scratch;
    } cases[] = {
        {"/tmp/out.png", true},
        {"/tmp/portal/shot 1.png", true},
        {"/var/tmp/s.png", true},
        {"/home/u/.cache/screenshots/s.png", true},
        {"/tmp", false},
        {"/tmpfiles/out.png", false},
        {"/home/u/Pictures/Screenshot.png", false},
        {"/home/u/.cache-not/s.png", false},
        {"/tmp/../home/u/Pictures/s.png", false},
        {"out.png", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsScratchFile(c.path, folders), c.scratch) << c.path;
}

TEST(PortalShortcutsTest, TriggerText) {
    const struct {
        uint32_t value;
        const char* trigger;
    } cases[] = {
        {core::kDefaultHotKey, "CTRL+Q"},
        {core::kHotKeyShift | core::kHotKeyAlt | 0x70, "ALT+SHIFT+F1"},
        {core::kHotKeyCtrl | core::kHotKeyWin | 0x65, "CTRL+LOGO+KP_5"},
        {core::kHotKeyCtrl | '7', "CTRL+7"},
        {core::kHotKeyCtrl | 0x2C, "CTRL+Print"},
        {core::kHotKeyAlt | 0xBD, "ALT+minus"},
        {0x87, "F24"},
        {core::kHotKeyCtrl | 0xFF, ""},  // no such key
        {0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortalTrigger(core::HotKeySystemModifiers(c.value), core::HotKeyVirtualKey(c.value)).toStdString(),
                  c.trigger)
            << c.value;
}

TEST(PortalShortcutsTest, ShortcutIdsRoundTrip) {
    for (int id : {0, 1, 0xC000, 65535}) EXPECT_EQ(RegistrationIdOf(PortalShortcutId(id)), id);
    for (const char* other : {"capture", "hotkey-", "hotkey-x", "hotkey-01", "hotkey--1", "hotkey-1 "})
        EXPECT_EQ(RegistrationIdOf(other), -1) << other;
}

TEST(WaylandServicesTest, GuardKeyIsPerWaylandDisplay) {
    EXPECT_EQ(WaylandGuardKey("wayland-1"), "wayland-1");
    EXPECT_EQ(WaylandGuardKey(""), "wayland-0");
    EXPECT_EQ(WaylandGuardKey("/run/user/1000/wayland-0"), "wayland-_run_user_1000_wayland-0");
    EXPECT_EQ(WaylandGuardKey(":0"), "wayland-_0");  // never an X display's key
}

}  // namespace
}  // namespace kwp::qt
