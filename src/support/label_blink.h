// The blink state of a label (CLabel), without the window: blinking text alternates between the
// text saved when blinking started and an empty text; a blinking background alternates between
// the label's background brush and its blink brush. Every stop puts a blinking text back and
// clears the state, so a later stop finds nothing to restore.
#pragma once

#include <string>

class CLabelBlink {
 public:
  enum Mode { None = 0, Text = 1, Background = 2 };
  // What a timer tick asks of the label.
  enum class Action { Nothing, ShowSavedText, ShowEmptyText, Repaint };

  // Stops any blinking (the caller stops its timer when IsBlinking() was true). True when the
  // saved text is to be shown again (text mode).
  bool Stop();
  // Starts blinking the text `current`, phase 0.
  void StartText(const std::string& current);
  void StartBackground();
  // Flips the phase.
  Action OnTimer();
  // The background of the off phase is the blink brush.
  bool UseBlinkBrush() const { return m_nMode == Background && m_nPhase == 0; }
  bool IsBlinking() const { return m_bBlinking != 0; }

  std::string m_strSaved;
  int m_nPhase = 0;
  int m_bBlinking = 0;
  int m_nMode = None;
};
