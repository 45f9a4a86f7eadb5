// needs: gui
#include <gtest/gtest.h>

#include <cstring>

#include "platform/desktopbackend.h"
#include "platform/wayland/nativeframes.h"

TEST(desktopchoice, session_picks_backend_and_qt_platform) {
  struct row {
    sessionenvironment session;
    desktopkind kind;
    const char *qt;
  };
  const row rows[] = {
      {{"x11", "", ":0"}, desktopkind::x11, "xcb"},
      // A Wayland display left over in an X11 session's environment.
      {{"x11", "wayland-0", ":0"}, desktopkind::x11, "xcb"},
      {{"wayland", "wayland-0", ":0"}, desktopkind::wayland, "xcb"},
      {{"wayland", "wayland-0", ""}, desktopkind::wayland, "wayland"},
      // No session type (a started compositor, a terminal over ssh).
      {{"", "wayland-0", ":1"}, desktopkind::wayland, "xcb"},
      {{"tty", "wayland-0", ""}, desktopkind::wayland, "wayland"},
      {{"", "", ":0"}, desktopkind::x11, "xcb"},
      {{"", "", ""}, desktopkind::x11, "xcb"},
  };
  for (const row &r : rows) {
    const std::string what = r.session.sessiontype + "/" + r.session.waylanddisplay + "/" + r.session.x11display;
    EXPECT_EQ(choosedesktop(r.session), r.kind) << what;
    EXPECT_STREQ(qtplatformfor(choosedesktop(r.session), r.session), r.qt) << what;
  }
}

TEST(desktopchoice, native_frames_stay_apart_from_x11_windows) {
  const windowid a = nativeframeid(1), b = nativeframeid(2);
  EXPECT_TRUE(isnativeframe(a));
  EXPECT_NE(a, b);
  // The largest X window id is never taken for a frame.
  EXPECT_FALSE(isnativeframe(0xFFFFFFFFu));

  // An application with an X11 window is listed through X11 only.
  const std::vector<nativeframe> frames = {{a, 10, "gedit", "Notes"}, {b, 20, "Editor", "Draft"}};
  const auto beside = framesbesidex11(frames, {10, 0});
  ASSERT_EQ(beside.size(), 1u);
  EXPECT_EQ(beside[0].id, b);
  EXPECT_EQ(findframe(beside, std::string("EDITOR"), std::nullopt), b);
  EXPECT_EQ(findframe(frames, std::nullopt, std::string("notes")), a);
  EXPECT_EQ(findframe(frames, std::string("gedit"), std::string("Draft")), 0u);
}
