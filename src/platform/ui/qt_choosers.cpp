// Qt's own dialogs in the Qt backend, each run by its own loop: the file and folder choosers, the
// message box over a chooser (a question about the path chosen), the owner each of them belongs
// to, and their end when the program is asked to end; and the lines of a message box's text,
// for that box and for ours.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/ui/choosers.h"
#include "platform/ui/qt_internal.h"

namespace qav::ui::qt {

namespace {

bool IsSeparator(QChar c) { return c == '/' || c == '\\'; }

// How many characters of `text` the line that starts it takes at `width` pixels in `font`: as
// many words as fit, or as much of a word wider than a line as fits.
qsizetype LineLength(const QString& text, const QFont& font, int width, QTextOption::WrapMode mode) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(mode);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  qsizetype length = text.size();
  if (line.isValid()) {
    line.setLineWidth(width);
    length = line.textLength();
  }
  layout.endLayout();
  return std::max<qsizetype>(length, 1);
}

// The lines of one paragraph. Qt breaks a path after the last separator that fits in a line, but
// a folder name as wide as a line, broken anywhere, ends its line just before the separator after
// it: that separator would start the next line, or stand alone on it when the name after it is as
// wide. Such a line ends a character earlier instead, which goes on the next line with the
// separator. A line that would hold only separators takes as much of the name after them as fits.
void ParagraphLines(const QString& paragraph, const QFont& font, int width, QStringList& lines) {
  qsizetype start = 0;
  do {
    // No line holds more characters than it has pixels: laying out that much of the rest is
    // enough, and a long paragraph is not laid out again whole for each of its lines.
    const QString rest = paragraph.mid(start, width + 2);
    qsizetype length = LineLength(rest, font, width, QTextOption::WrapAtWordBoundaryOrAnywhere);
    if (length < rest.size() && !rest[length].isSpace() && std::all_of(rest.begin(), rest.begin() + length, IsSeparator))
      length = LineLength(rest, font, width, QTextOption::WrapAnywhere);
    if (length > 1 && length < rest.size() && IsSeparator(rest[length]) && !rest[length - 1].isSpace()) --length;
    QString shown = rest.left(length);
    while (!shown.isEmpty() && shown.back().isSpace()) shown.chop(1);
    lines << shown;
    start += length;
  } while (start < paragraph.size());
}

// A message box's text in lines no wider than `width` pixels in `font`: broken at blanks where it
// can, inside a path after its separators, anywhere inside a word wider than a line. Lines from
// the middle of a text taller than `height` give way to one "...", so its start and its end are
// seen.
QString BoxLines(const QString& text, const QFont& font, int width, int height) {
  QStringList lines;
  for (const QString& paragraph : text.split('\n')) ParagraphLines(paragraph, font, width, lines);
  const qsizetype room = std::max<qsizetype>(height / QFontMetrics(font).lineSpacing(), 1);
  if (lines.size() > room) {
    const qsizetype tail = (room - 1) / 2;
    lines = lines.mid(0, room - 1 - tail) + QStringList{"..."} + lines.mid(lines.size() - tail);
  }
  return lines.join('\n');
}

}  // namespace

std::string QtBackend::WrapText(const std::string& text, int width, int height, SIZE* size) {
  const QFont font = FontOf(nullptr);
  const QString lines = BoxLines(Q(text), font, width, height);
  const QRect r = QFontMetrics(font).boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, lines);
  *size = SIZE{r.width(), r.height()};
  return Cp(lines);
}

// A Qt dialog of our own making belongs to the window it is shown over.
void QtBackend::OwnQtDialog(QWidget* dialog, HWND owner) {
  dialog->winId();
  WndState* o = Find(owner);
  if (auto* ownerWidget = o != nullptr ? static_cast<QWidget*>(o->native) : nullptr) {
    ownerWidget->winId();
    dialog->windowHandle()->setTransientParent(ownerWidget->windowHandle());
  }
  DialogType(dialog);
}

}  // namespace qav::ui::qt

namespace qav::ui {
using qt::Cp;
using qt::Q;

namespace {

// The file chooser, which shows each chosen path to its caller before it ends: the caller may
// ask the user about it (over the chooser) and turn it down, and the chooser then stays up as
// the user left it.
class FileChooser : public QFileDialog {
 public:
  FileChooser(const QString& title, const std::function<bool(std::string&, void*)>& acceptable)
      : QFileDialog(nullptr, title), m_acceptable(acceptable) {}
  std::string chosen;

  void accept() override {
    const QStringList files = selectedFiles();
    // A folder is opened, not chosen; Qt does it.
    if (files.isEmpty() || QFileInfo(files.front()).isDir()) return QFileDialog::accept();
    std::string path = Cp(files.front());
    if (m_acceptable && !m_acceptable(path, this)) return;
    chosen = path;
    QFileDialog::accept();
  }

 private:
  const std::function<bool(std::string&, void*)>& m_acceptable;
};

}  // namespace

// The box is Qt's, over the chooser, with our buttons and default: the letters of "&Yes" and
// "&No" answer it alone, Return gives the default, and Escape the last button, which for a
// question is its "No" or "Cancel".
int QtBoxOver(void* parent, const MessageBoxRequest& req) {
  QMessageBox box(static_cast<QWidget*>(parent));
  box.setWindowTitle(Q(req.caption));
  // Lines as wide as those of our own boxes, and no more of them than the screen holds.
  const QRect screen = box.screen() != nullptr ? box.screen()->availableGeometry() : QRect(0, 0, 1024, 768);
  box.setText(qt::BoxLines(Q(req.text), box.font(), 60 * QFontMetrics(box.font()).averageCharWidth(), screen.height() - 200));
  switch (req.type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  std::vector<std::pair<QAbstractButton*, int>> answers;
  const int def = DefaultMessageBoxAnswer(req.type);
  for (const BoxButton& b : MessageBoxButtons(req.type)) {
    if (b.id == IDHELP) continue;
    QPushButton* button = box.addButton(Q(b.text), QMessageBox::AcceptRole);
    answers.emplace_back(button, b.id);
    if (b.id == def) box.setDefaultButton(button);
  }
  box.setEscapeButton(answers.back().first);
  qt::QtBackend::DialogType(&box);
  box.exec();
  // The window under the box has the keyboard again, also where no window manager gives it back.
  auto* under = static_cast<QWidget*>(parent);
  under->activateWindow();
  if (QGuiApplication::platformName() == "xcb") qt::QtBackend::FocusWithoutWindowManager(under);
  for (const auto& [button, id] : answers)
    if (box.clickedButton() == button) return id;
  return answers.back().second;
}

// The choosers and boxes above are Qt's dialogs, each run by its own loop.
void qt::QtBackend::CloseOwnModals() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) dialog->reject();
}

bool QtChooseFile(const FileChooserRequest& req, std::string& path,
                  const std::function<bool(std::string& path, void* chooser)>& acceptable) {
  FileChooser fd(Q(req.title), acceptable);
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setAcceptMode(req.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  fd.setFileMode(req.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  fd.setOption(QFileDialog::DontConfirmOverwrite);  // asked by `acceptable`, over the chooser
  QStringList filters;
  for (const auto& [desc, pats] : req.filters) filters << Q(ChooserFilter(desc, pats));
  if (!filters.isEmpty()) fd.setNameFilters(filters);
  std::string initial = req.initialPath;
  std::replace(initial.begin(), initial.end(), '\\', '/');
  size_t slash = initial.find_last_of('/');
  if (slash != std::string::npos) {
    fd.setDirectory(Q(initial.substr(0, slash)));
    fd.selectFile(Q(initial.substr(slash + 1)));
  } else if (!initial.empty()) {
    fd.selectFile(Q(initial));
  }
  if (!req.defaultExt.empty()) fd.setDefaultSuffix(Q(req.defaultExt));
  qt::QtBackend::OwnQtDialog(&fd, req.owner);
  if (fd.exec() != QDialog::Accepted || fd.chosen.empty()) return false;
  path = fd.chosen;
  return true;
}

bool QtChooseFolder(const std::string& title, const std::string& start, HWND owner, std::string& path) {
  QFileDialog fd(nullptr, Q(title));
  fd.setOption(QFileDialog::DontUseNativeDialog);
  fd.setFileMode(QFileDialog::Directory);
  fd.setOption(QFileDialog::ShowDirsOnly);
  std::string dir = start;
  std::replace(dir.begin(), dir.end(), '\\', '/');
  if (!dir.empty()) fd.setDirectory(Q(dir));
  qt::QtBackend::OwnQtDialog(&fd, owner);
  if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
  path = Cp(fd.selectedFiles().front());
  return true;
}

}  // namespace qav::ui
