// Menus and tabs in the Qt backend: a frame's menu bar built from its FrameResource (a chosen
// item comes back as input::Menu), and the tabs of a property sheet, whose pages are our own
// windows laid over the pane (a tab chosen by click or by Ctrl+Tab comes back as input::SelectTab).
#include <QMenuBar>
#include <QTabBar>

#include "platform/ui/app.h"
#include "platform/ui/input.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

void QtBackend::BuildMenu(QMenuBar* bar, const std::vector<MenuItem>& items, HWND frame) {
  for (const MenuItem& m : items) {
    if (m.text == nullptr) continue;
    QMenu* menu = bar->addMenu(Q(m.text));
    FillMenu(menu, m.items, frame);
  }
}

void QtBackend::FillMenu(QMenu* menu, const std::vector<MenuItem>& items, HWND frame) {
  for (const MenuItem& m : items) {
    if (m.text == nullptr) {
      menu->addSeparator();
    } else if (!m.items.empty()) {
      FillMenu(menu->addMenu(Q(m.text)), m.items, frame);
    } else {
      QString text = Q(m.text);
      int tab = text.indexOf('\t');
      QAction* a = menu->addAction(tab >= 0 ? text.left(tab) : text);
      UINT id = m.id;
      QObject::connect(a, &QAction::triggered, a, [frame, id] { input::Menu(frame, id); });
    }
  }
}

int QtBackend::MenuBarHeight() {
  QMenuBar bar;
  bar.addMenu("&File");
  return bar.sizeHint().height();
}

void TabsWidget::SetTabs(const std::vector<std::string>& tabs) {
  bool same = count() == static_cast<int>(tabs.size());
  for (int i = 0; same && i < count(); ++i) same = tabText(i) == Q(tabs[static_cast<size_t>(i)]);
  if (same) return;
  while (count() > 0) {
    QWidget* w = widget(0);
    removeTab(0);
    delete w;
  }
  for (const std::string& t : tabs) addTab(new QWidget, Q(t));
}

QWidget* QtBackend::MakeTabs(HWND h, QWidget* host) {
  auto* t = new TabsWidget(host);
  t->setUsesScrollButtons(true);
  t->setElideMode(Qt::ElideNone);
  t->tabBar()->setExpanding(false);
  t->tabBar()->setFocusPolicy(Qt::StrongFocus);  // a click on a tab focuses the tabs
  QObject::connect(t, &QTabWidget::currentChanged, t, [this, h](int i) {
    if (g_syncing > 0) return;
    auto* ts = static_cast<TabState*>(Find(h));
    if (ts != nullptr && i != ts->cur) input::SelectTab(h, i);
    if (WndState* again = Find(h)) Sync(again);  // a refused change goes back
  });
  return t;
}

int QtBackend::TabBarHeight() {
  QTabBar bar;
  bar.setFont(FontOf(nullptr));
  bar.addTab("Tab");
  return bar.sizeHint().height();
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+Page Down/Up: the next or previous page of a sheet.
bool QtBackend::SwitchPage(WndState* s, bool back) {
  WndState* top = TopLevelOf(s);
  WndState* tabs = nullptr;
  if (top != nullptr)
    ForEachDescendant(top, [&](WndState* c) {
      if (tabs == nullptr && c->kind == Kind::Tab) tabs = c;
    });
  if (tabs == nullptr) return false;
  auto* t = static_cast<TabState*>(tabs);
  int n = static_cast<int>(t->tabs.size());
  if (n < 2) return true;
  HWND th = t->hwnd;
  input::SelectTab(th, ((t->cur < 0 ? 0 : t->cur) + (back ? n - 1 : 1)) % n);
  if (Find(th) != nullptr) input::Focus(th);
  return true;
}

}  // namespace qav::ui::qt
