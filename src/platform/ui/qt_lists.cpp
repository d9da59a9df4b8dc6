// Lists in the Qt backend: a list box is a QListView over LineModel, which reads the lines and
// the selection from the list's state when the view paints (the state holds both, so the view
// keeps no selection of its own); changes reach the view in one step when the loop next runs.
// Also the combo box's lines and the clicks on a list's lines.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

#include "platform/base/text.h"
#include "platform/ui/input.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

QVariant LineModel::data(const QModelIndex& index, int role) const {
  auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
  if (l == nullptr || l->kind != Kind::ListBox || !index.isValid() || index.row() >= static_cast<int>(l->lines.size()))
    return QVariant();
  const size_t row = static_cast<size_t>(index.row());
  bool selected = !l->NoSel() && (l->Multi() ? l->lines.Selected(row) : index.row() == l->cur);
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(Cp1252ToUtf8(l->lines.Text(row)));
    case Qt::BackgroundRole:
      return selected ? QVariant(QApplication::palette().brush(QPalette::Highlight)) : QVariant();
    case Qt::ForegroundRole:
      return selected ? QVariant(QApplication::palette().brush(QPalette::HighlightedText)) : QVariant();
    case Qt::SizeHintRole: return QSize(std::max(l->columnWidth, 8), std::max(l->itemHeight, 1));
    default: return QVariant();
  }
}

void LineModel::Changed(bool append) {
  if (!append) m_onlyAppends = false;
  if (m_dirty) return;
  m_dirty = true;
  QTimer::singleShot(0, this, [this] { Flush(); });
}

bool LineModel::Flush() {
  if (!m_dirty) return false;
  m_dirty = false;
  auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
  int n = l != nullptr ? static_cast<int>(l->lines.size()) : 0;
  if (m_onlyAppends && n > m_rows) {
    beginInsertRows(QModelIndex(), m_rows, n - 1);
    m_rows = n;
    endInsertRows();
  } else if (!m_onlyAppends || n != m_rows) {
    beginResetModel();
    m_rows = n;
    endResetModel();
  }
  m_onlyAppends = true;
  return true;
}

void LineModel::Repaint() {
  if (m_rows > 0) Q_EMIT dataChanged(index(0), index(m_rows - 1));
}

ListWidget::ListWidget(HWND h, QWidget* parent) : QListView(parent), model(new LineModel(h, this)), m_hwnd(h) {
  setModel(model);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::NoSelection);  // the state holds the selection
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setLayoutMode(QListView::Batched);
  setBatchSize(2000);
  // The first line shown follows the user's scrolling, so item-from-point finds the right line.
  auto top = [this] {
    if (g_syncing > 0) return;
    if (auto* l = static_cast<ListBoxState*>(Find(m_hwnd))) l->top = TopRow();
  };
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, top);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, top);
}

int ListWidget::TopRow() const {
  QModelIndex i = indexAt(QPoint(1, 1));
  return i.isValid() ? i.row() : 0;
}

// A list whose lines are laid out wider than the view: a multi-column list, and a list with a
// horizontal scroll bar, which scrolls sideways to its widest line as a list given that extent does.
static bool LinesAcross(const ListBoxState* l) { return (l->style & (LBS_MULTICOLUMN | WS_HSCROLL)) != 0; }

void ListWidget::FitColumns(ListBoxState* l, int line) {
  if (!LinesAcross(l)) return;
  const QFontMetrics fm(font());
  auto width = [&](size_t i) { return fm.horizontalAdvance(Q(std::string(l->lines.Text(i)))); };
  if (line < 0) {
    widestLine = 0;
    for (size_t i = 0; i < l->lines.size(); ++i) widestLine = std::max(widestLine, width(i));
  } else if (static_cast<size_t>(line) < l->lines.size()) {
    widestLine = std::max(widestLine, width(static_cast<size_t>(line)));
  }
  FitWidth(l);
}

void ListWidget::FitWidth(ListBoxState* l) {
  // The margins the view draws on either side of a line's text.
  const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
  int column = 0;
  if (l->style & LBS_MULTICOLUMN) {
    column = std::max(l->columnWidth > 0 ? l->columnWidth : 64, widestLine + margins);
    l->columnExtent = column;
  } else {
    column = std::max(widestLine + margins, viewport()->width());  // a selected line spans the view
  }
  if (gridSize() != QSize(column, l->itemHeight)) setGridSize(QSize(column, l->itemHeight));
}

void ListWidget::FitRows(ListBoxState* l) {
  if (!(l->style & LBS_MULTICOLUMN)) return;
  int height = contentsRect().height();
  if (horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && horizontalScrollBar()->isVisible())
    height -= horizontalScrollBar()->height();
  l->columnRows = std::max(1, height / std::max(1, l->itemHeight));
}

// The first line the list shows is the state's, also when the program set it before the list was
// on the screen (a dialog that scrolls its list while it is being made): the view takes it once
// it is shown and laid out.
void ListWidget::showEvent(QShowEvent* e) {
  QListView::showEvent(e);
  QTimer::singleShot(0, this, [this] {
    auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
    if (l == nullptr || l->kind != Kind::ListBox || !isVisible()) return;
    model->Flush();
    Syncing guard;
    if (l->top > 0 && l->top < model->rows()) scrollTo(model->index(l->top), QAbstractItemView::PositionAtTop);
  });
}

void ListWidget::resizeEvent(QResizeEvent* e) {
  QListView::resizeEvent(e);
  auto* l = static_cast<ListBoxState*>(Find(m_hwnd));
  if (l == nullptr || l->kind != Kind::ListBox) return;
  if ((l->style & WS_HSCROLL) && !(l->style & LBS_MULTICOLUMN)) FitWidth(l);
  FitRows(l);
}

int QtBackend::ListItemHeight(HFONT font) { return QFontMetrics(FontOf(font)).height() + 2; }

void QtBackend::ListChanged(WndState* s, ListChange what, int index) {
  auto* w = static_cast<QWidget*>(s->native);
  if (w == nullptr) return;
  if (s->kind == Kind::ComboBox) {
    SyncCombo(static_cast<ComboBoxState*>(s), static_cast<QComboBox*>(w));
    return;
  }
  auto* v = static_cast<ListWidget*>(w);
  auto* l = static_cast<ListBoxState*>(s);
  switch (what) {
    case ListChange::Inserted:
      v->model->Changed(index == static_cast<int>(l->lines.size()) - 1);
      v->FitColumns(l, index);
      break;
    case ListChange::Deleted:
    case ListChange::Reset:
      v->model->Changed(false);
      v->FitColumns(l, -1);
      break;
    case ListChange::Selection: {
      v->model->Flush();
      // Every line is drawn again: a click or key may change many lines (a range, or all the
      // others cleared), and a line left as it was drawn would show a selection it no longer has.
      v->model->Repaint();
      Syncing guard;
      // The focus frame is on the caret line, not on the first line.
      if (l->caret >= 0 && l->caret < v->model->rows())
        v->selectionModel()->setCurrentIndex(v->model->index(l->caret), QItemSelectionModel::NoUpdate);
      if (!l->Multi() && l->cur >= 0) v->scrollTo(v->model->index(l->cur), QAbstractItemView::EnsureVisible);
      l->top = v->TopRow();  // the view scrolled to show the line
      break;
    }
    case ListChange::Top: {
      v->model->Flush();
      Syncing guard;
      if (l->top < v->model->rows()) v->scrollTo(v->model->index(l->top), QAbstractItemView::PositionAtTop);
      break;
    }
  }
}

void QtBackend::SyncList(ListBoxState* l, ListWidget* v) {
  bool columns = (l->style & LBS_MULTICOLUMN) != 0;
  if (columns) {
    v->setFlow(QListView::TopToBottom);
    v->setWrapping(true);
    v->setResizeMode(QListView::Adjust);
    v->FitColumns(l, -1);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar of its own only when the list asks for one: one that came by itself would take
    // the height of the lines, leaving a list a line high. Keys and clicks still scroll it.
    v->setHorizontalScrollBarPolicy((l->style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    v->FitRows(l);
  } else {
    v->setFlow(QListView::TopToBottom);
    v->setWrapping(false);
    if (l->style & WS_HSCROLL) v->FitColumns(l, -1);
    else v->setGridSize(QSize());
  }
  v->setFrameShape((l->style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
  // A new line height (a new font) is laid out afresh; otherwise only new lines are taken.
  v->model->Changed(v->lineHeight == l->itemHeight);
  v->lineHeight = l->itemHeight;
  v->viewport()->update();
}

void QtBackend::SyncCombo(ComboBoxState* s, QComboBox* c) {
  Syncing guard;
  bool same = c->count() == static_cast<int>(s->lines.size());
  for (int i = 0; same && i < c->count(); ++i) same = c->itemText(i) == Q(s->lines[static_cast<size_t>(i)].text);
  if (!same) {
    c->clear();
    for (const ListLine& line : s->lines) c->addItem(Q(line.text));
  }
  c->setCurrentIndex(s->cur);
}

// The keys that move a list's focus line or selection (arrows, Home, End, Page Up/Down, Space,
// Ctrl+A, a line's first letter) go to the list's own behaviour with the modifiers held, so the
// selection and the notices follow as for a click; the view's own handling would move only its
// focus frame. A list without selection scrolls as Qt does; Ctrl+Page Up/Down stay a sheet's.
bool QtBackend::ListKey(HWND h, const ListBoxState* l, QKeyEvent* k) {
  const Qt::KeyboardModifiers mods = k->modifiers();
  const bool ctrl = (mods & Qt::ControlModifier) != 0;
  if (mods & Qt::AltModifier) return false;
  UINT vk = 0;
  switch (k->key()) {
    case Qt::Key_Up: vk = VK_UP; break;
    case Qt::Key_Down: vk = VK_DOWN; break;
    case Qt::Key_Left: vk = VK_LEFT; break;
    case Qt::Key_Right: vk = VK_RIGHT; break;
    case Qt::Key_Home: vk = VK_HOME; break;
    case Qt::Key_End: vk = VK_END; break;
    case Qt::Key_PageUp: vk = ctrl ? 0 : VK_PRIOR; break;
    case Qt::Key_PageDown: vk = ctrl ? 0 : VK_NEXT; break;
    case Qt::Key_Space: vk = VK_SPACE; break;
    default: {
      const int key = k->key();
      const bool letter = (key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9);
      if (letter && (!ctrl || key == Qt::Key_A)) vk = static_cast<UINT>(key);
      break;
    }
  }
  // A list without selection takes only the keys that scroll it.
  if (vk == 0 || (l->NoSel() && (vk == VK_SPACE || vk == VK_LEFT || vk == VK_RIGHT || vk >= '0'))) return false;
  input::Key(h, vk, ((mods & Qt::ShiftModifier) ? MK_SHIFT : 0) | (ctrl ? MK_CONTROL : 0));
  return true;
}

// A click on a list's lines: the list's own selection rules (input::SelectLine) with the
// modifiers held; a right click and a double click have notices of their own.
bool QtBackend::ListMouse(HWND h, ListWidget* v, QMouseEvent* m) {
  v->model->Flush();
  QPoint p = m->position().toPoint();
  if (m->button() == Qt::RightButton) {
    input::RightClick(h, p.x(), p.y());
    return true;
  }
  if (m->button() != Qt::LeftButton) return true;
  QModelIndex i = v->indexAt(p);
  if (!i.isValid()) {
    input::Focus(h);
    return true;
  }
  UINT keys = ((m->modifiers() & Qt::ShiftModifier) ? MK_SHIFT : 0) | ((m->modifiers() & Qt::ControlModifier) ? MK_CONTROL : 0);
  if (m->type() == QEvent::MouseButtonDblClick) input::DoubleClickLine(h, i.row());
  else input::SelectLine(h, i.row(), keys);
  return true;
}

}  // namespace qav::ui::qt
