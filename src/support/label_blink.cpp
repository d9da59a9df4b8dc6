#include "support/label_blink.h"

bool CLabelBlink::Stop() {
  const bool restore = m_bBlinking != 0 && m_nMode == Text;
  m_bBlinking = 0;
  m_nMode = None;
  m_nPhase = 0;
  return restore;
}

void CLabelBlink::StartText(const std::string& current) {
  m_strSaved = current;
  m_nPhase = 0;
  m_bBlinking = 1;
  m_nMode = Text;
}

void CLabelBlink::StartBackground() {
  m_nPhase = 0;
  m_bBlinking = 1;
  m_nMode = Background;
}

CLabelBlink::Action CLabelBlink::OnTimer() {
  const int was = m_nPhase;
  m_nPhase = was == 0 ? 1 : 0;
  switch (m_nMode) {
    case Text: return was == 1 ? Action::ShowSavedText : Action::ShowEmptyText;
    case Background: return Action::Repaint;
    default: return Action::Nothing;
  }
}
