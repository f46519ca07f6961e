// The resident program on a Wayland session: its window goes through XWayland and its special
// keys come from the desktop portal's global shortcuts, here a stand-in portal on the private bus.
// Presses and holds of the shortcuts act as the keys do on X11; a portal that goes away or closes
// the session is bound again; a portal that binds none of them leaves the keys to X11, said once;
// with no key source at all the program says so once and works on.
#include "FakeShortcutPortal.h"
#include "Pactl.h"
#include "ResidentFixture.h"

#include <QElapsedTimer>

#include <optional>

namespace {

// The speakers in steps of a seventh of their range (0..65536), as the sound server reads them.
int VolumeSteps()
{
    const auto volume = SinkVolume();
    return volume ? qRound(*volume / (65536.0 / 7)) : -1;
}

class WaylandTest : public ResidentTest {
protected:
    void SetUp() override
    {
        TestEnvironment::Set("XDG_SESSION_TYPE", "wayland");
        ::unsetenv("QT_QPA_PLATFORM");
        env.SetUserSettings("[General]\nModeState=0\n");  // Solo
    }
};

TEST_F(WaylandTest, ShortcutsAreBoundAgainWhenThePortalGoesAwayAndTheirPressesAndHoldsActAsTheKeys)
{
    FakeShortcutPortal portal;
    ASSERT_TRUE(Pactl({"set-sink-volume", "spk", "0"}));
    StartResident(true);
    ASSERT_TRUE(WaitFor([&] { return portal.binds == 1; }));
    EXPECT_EQ(portal.ids, QStringList({"mode", "play", "previous", "next", "record"}));
    EXPECT_EQ(portal.sessionIds, portal.ids);
    EXPECT_EQ(portal.triggers,
              QStringList({"XF86Launch1", "XF86AudioPlay", "XF86AudioPrev", "XF86AudioNext", "XF86AudioRecord"}));
    EXPECT_TRUE(Said("QT_QPA_PLATFORM=xcb"));
    portal.Tap("mode");
    ASSERT_TRUE(WaitFor(DialogOpen));

    // A key held while the portal goes away is released: the mode steps from Solo to Conference
    // instead of the window closing with Solo. A closed session is bound again too.
    const QString first = portal.session;
    portal.Press("mode");
    ASSERT_TRUE(portal.Unregister());
    ASSERT_TRUE(portal.Register());
    ASSERT_TRUE(WaitFor([&] { return portal.binds == 2; }));
    EXPECT_NE(portal.session, first);
    portal.CloseSession();
    ASSERT_TRUE(WaitFor([&] { return portal.binds == 3; }));
    ASSERT_TRUE(DialogOpen());

    // The third session's keys work. Held, next steps the volume after two seconds and then every
    // second: three steps by 4 s.
    QElapsedTimer held;
    held.start();
    portal.Press("next");
    ASSERT_TRUE(WaitFor([] { return VolumeSteps() >= 3; }, 10000));
    EXPECT_GE(held.elapsed(), 3950);
    portal.Release("next");
    EXPECT_EQ(VolumeSteps(), 3);
    // Previous, held, steps down once its two seconds are over; had next gone on, it would not
    // come down to two.
    portal.Press("previous");
    EXPECT_TRUE(WaitFor([] { return VolumeSteps() == 2; }, 10000));
    portal.Release("previous");

    // Mode, held two seconds, closes the window and keeps Conference.
    held.restart();
    portal.Press("mode");
    ASSERT_TRUE(WaitFor([] { return !DialogOpen(); }));
    EXPECT_GE(held.elapsed(), 1950);
    portal.Release("mode");
    EXPECT_TRUE(WaitFor([&] { return Saved("ModeState=1"); }));
    EXPECT_EQ(VolumeSteps(), 2);
    EXPECT_FALSE(Errors().contains("special keys")) << errors.toStdString();
    // The session ends with the program, and so does the program, cleanly.
    Close();
    EXPECT_TRUE(WaitFor([&] { return portal.closed.contains(portal.session); }));
}

TEST_F(WaylandTest, APortalThatBindsNothingIsSaidOnceAndTheX11KeysTakeOver)
{
    FakeShortcutPortal portal;
    portal.bindNothing = true;
    TestEnvironment::Set("QT_LOGGING_RULES", "corvana.support.debug=true");
    StartResident(true);
    ASSERT_TRUE(WaitFor([&] { return portal.binds == 1; }));
    const QString said = "corvana: the desktop portal bound none of the shortcuts; the special keys are taken from X11 instead";
    ASSERT_TRUE(Said(said)) << errors.toStdString();
    // The session it has no use for is given back.
    EXPECT_TRUE(WaitFor([&] { return portal.closed.contains(portal.session); }));

    Key("XF86Launch1");
    ASSERT_TRUE(WaitFor(DialogOpen));
    // The window's own key source is X11 as well: held two seconds, the key closes it.
    Xdo({"keydown", "XF86Launch1"});
    const bool closed = WaitFor([] { return !DialogOpen(); });
    Xdo({"keyup", "XF86Launch1"});
    ASSERT_TRUE(closed);

    // Two installs later, no second session was asked for and nothing claimed a binding.
    EXPECT_EQ(portal.binds, 1);
    EXPECT_EQ(Errors().count(said), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains("portal shortcuts: none bound")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("portal shortcuts bound")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("special keys are unavailable")) << errors.toStdString();
}

// Forced to the portal, one that binds nothing and none at all leave no special keys: said once,
// also after the window installed the key source again, and a second start still opens the window.
TEST_F(WaylandTest, AForcedPortalThatBindsNothingOrIsMissingLeavesNoKeysAndSaysSoOnce)
{
    TestEnvironment::Set("CORVANA_KEY_SOURCE", "portal");
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present ? "a portal that binds nothing" : "no portal on the bus");
        std::optional<FakeShortcutPortal> portal;
        if (present)
            portal.emplace().bindNothing = true;
        errors.clear();
        StartResident(true);
        const QString said = QStringLiteral("the special keys are unavailable: CORVANA_KEY_SOURCE=portal")
                             + (present ? QStringLiteral(", but the desktop portal bound none of the shortcuts") : QString());
        ASSERT_TRUE(Said(said)) << errors.toStdString();
        EXPECT_EQ(RunCorvana(), 0);
        ASSERT_TRUE(WaitFor(DialogOpen));
        ASSERT_NO_FATAL_FAILURE(Close());
        EXPECT_EQ(Errors().count(said), 1) << errors.toStdString();
        EXPECT_FALSE(errors.contains("taken from X11")) << errors.toStdString();
        if (portal) {
            EXPECT_EQ(portal->binds, 1);
        }
    }
}

} // namespace
