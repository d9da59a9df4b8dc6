#include "support/label_blink.h"

#include <gtest/gtest.h>

using Action = CLabelBlink::Action;

TEST(LabelBlink, TextAlternatesAndStopRestoresWhateverThePhase) {
  for (int ticks = 0; ticks < 4; ++ticks) {
    CLabelBlink b;
    b.StartText("Alarm");
    Action expected[] = {Action::ShowEmptyText, Action::ShowSavedText};
    for (int i = 0; i < ticks; ++i) EXPECT_EQ(b.OnTimer(), expected[i % 2]);
    EXPECT_TRUE(b.Stop()) << ticks;
    EXPECT_EQ(b.m_strSaved, "Alarm");
    EXPECT_FALSE(b.IsBlinking());
  }
}

TEST(LabelBlink, EveryStopClearsTheState) {
  // Start, stop, and a later stop: nothing stale is restored.
  CLabelBlink b;
  b.StartText("old");
  EXPECT_TRUE(b.Stop());
  EXPECT_FALSE(b.Stop());
  EXPECT_EQ(b.m_nMode, CLabelBlink::None);
  // Stopping a background blink while text blinks (FlashBackground(false)) restores the text too.
  b.StartText("shown");
  b.OnTimer();  // text now empty
  EXPECT_TRUE(b.Stop());
  // A background blink has nothing to restore and alternates the brushes.
  b.StartBackground();
  EXPECT_TRUE(b.UseBlinkBrush());
  EXPECT_EQ(b.OnTimer(), Action::Repaint);
  EXPECT_FALSE(b.UseBlinkBrush());
  EXPECT_EQ(b.OnTimer(), Action::Repaint);
  EXPECT_TRUE(b.UseBlinkBrush());
  EXPECT_FALSE(b.Stop());
  EXPECT_FALSE(b.UseBlinkBrush());
  EXPECT_EQ(b.OnTimer(), Action::Nothing);
}
