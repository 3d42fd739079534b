#include "app/form1.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>

#include "album/albumformat.h"
#include "app/artwork.h"
#include "app/busycursor.h"
#include "app/form2.h"
#include "app/form7.h"
#include "app/notebox.h"
#include "app/shell.h"
#include "base/text.h"

namespace app {
namespace {

std::vector<std::string> LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr) return paths;
  for (const QUrl& url : data->urls()) paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

}  // namespace

ContentsListView::ContentsListView(QWidget* parent, DropTest dropTest)
    : ExtentListWidget(parent), m_dropTest(std::move(dropTest)) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
}

bool ContentsListView::AcceptableDrop(const QMimeData* data) const {
  return data != nullptr && data->hasUrls() && m_dropTest(LocalPaths(data));
}

void ContentsListView::mousePressEvent(QMouseEvent* event) {
  ExtentListWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  m_mouseDown = true;
  emit leftButtonDown();
}

void ContentsListView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_mouseDown) {
    ExtentListWidget::mouseMoveEvent(event);
    return;
  }
  // With the button held the selection follows the pointer: where it is released is the
  // target of the move.
  const int row = indexAt(event->position().toPoint()).row();
  if (row >= 0 && row != currentRow()) setCurrentRow(row);
}

void ContentsListView::mouseReleaseEvent(QMouseEvent* event) {
  ExtentListWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !m_mouseDown) return;
  const int row = indexAt(event->position().toPoint()).row();
  if (row >= 0 && row != currentRow()) setCurrentRow(row);
  m_mouseDown = false;
  emit leftButtonUp();
}

void ContentsListView::focusInEvent(QFocusEvent* event) {
  ExtentListWidget::focusInEvent(event);
  emit gotFocus();
}

void ContentsListView::dragEnterEvent(QDragEnterEvent* event) {
  // One path of the wrong kind, or an album file, refuses the whole drop.
  if (AcceptableDrop(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void ContentsListView::dragMoveEvent(QDragMoveEvent* event) {
  if (AcceptableDrop(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void ContentsListView::dropEvent(QDropEvent* event) {
  if (!AcceptableDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit filesDropped(LocalPaths(event->mimeData()));
}

Form1::Form1(Shell& shell, QWidget* mainWindow, MediaDeviceFactory mediaDevices)
    : QWidget(nullptr),
      m_shell(shell),
      m_mainWindow(mainWindow),
      m_mediaDevices(std::move(mediaDevices)) {
  setObjectName("Form1");
  setWindowTitle(ToQString(album::kProgramTitle));
  setWindowIcon(ProgramIcon());

  List1 = new ContentsListView(this);
  List1->setObjectName("List1");
  Command1 = new QPushButton("Add Item ...", this);
  Command1->setObjectName("Command1");
  Command2 = new QPushButton("Remove Item", this);
  Command2->setObjectName("Command2");
  Command2->setEnabled(false);
  Command3 = new QPushButton("Make Album ...", this);
  Command3->setObjectName("Command3");
  Command3->setEnabled(false);
  Command4 = new QPushButton("Cancel", this);
  Command4->setObjectName("Command4");
  Command5 = new QPushButton("Add Folder Contents ...", this);
  Command5->setObjectName("Command5");
  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  Label1 = new QLabel(ToQString(kSelectedLabelText), this);
  Label1->setObjectName("Label1");
  Label1->setFrameShape(QFrame::StyledPanel);
  Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Text1 = MakeNoteBox(this, kContentsNote);
  const QFontMetrics metrics(Text1->font());

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {Command1, Command5, Command2, Command3}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(Command4);
  buttons->addWidget(cmdHelp);

  auto* top = new QHBoxLayout;
  auto* listColumn = new QVBoxLayout;
  listColumn->addWidget(List1, 1);
  listColumn->addWidget(Label1);
  top->addLayout(listColumn, 1);
  top->addLayout(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(Text1);
  List1->setMinimumHeight(metrics.lineSpacing() * 14);

  connect(Command1, &QPushButton::clicked, this, &Form1::AddItem);
  connect(Command2, &QPushButton::clicked, this, &Form1::RemoveItem);
  connect(Command3, &QPushButton::clicked, this, &Form1::MakeAlbum);
  connect(Command4, &QPushButton::clicked, this, &QWidget::close);
  connect(Command5, &QPushButton::clicked, this, &Form1::AddFolderContents);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, Command4, &QPushButton::click);

  // The keyboard takes the controls in their on-screen order, and moves entries like the mouse.
  setTabOrder(List1, Command1);
  setTabOrder(Command1, Command5);
  setTabOrder(Command5, Command2);
  setTabOrder(Command2, Command3);
  setTabOrder(Command3, Command4);
  setTabOrder(Command4, cmdHelp);
  setTabOrder(cmdHelp, Text1);
  auto* moveUp = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), List1, nullptr, nullptr,
                               Qt::WidgetShortcut);
  connect(moveUp, &QShortcut::activated, this, [this] { MoveCurrentEntry(-1); });
  auto* moveDown = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), List1, nullptr, nullptr,
                                 Qt::WidgetShortcut);
  connect(moveDown, &QShortcut::activated, this, [this] { MoveCurrentEntry(1); });

  connect(List1, &QListWidget::currentRowChanged, this, [this] {
    // While the button is held the pointer is still choosing; the release decides.
    if (!List1->MouseDown()) ListClicked();
  });
  connect(List1, &ContentsListView::leftButtonDown, this,
          [this] { m_dragFrom = List1->currentRow(); });
  connect(List1, &ContentsListView::leftButtonUp, this, &Form1::ListMouseUp);
  connect(List1, &ContentsListView::gotFocus, this, &Form1::ListGotFocus);
  connect(List1, &ContentsListView::filesDropped, this, &Form1::FilesDropped);

  if (m_mainWindow) {
    // Kept, so that the main window comes back where it was (window managers may re-place it).
    m_mainWindowPosition = m_mainWindow->pos();
    m_mainWindow->hide();
  }
}

QString Form1::CurrentEntry() const {
  const QListWidgetItem* item = List1->currentItem();
  return item != nullptr ? item->text() : QString();
}

Form7* Form1::Preview() const {
  return m_preview;
}

void Form1::ClearContents() {
  UnloadPreview();
  m_contents.Clear();
  ShowEntries(-1);
  Label1->setText(QString());
  Command2->setEnabled(false);
  Command3->setEnabled(false);
}

void Form1::closeEvent(QCloseEvent* event) {
  UnloadPreview();
  if (m_mainWindow) {
    m_mainWindow->move(m_mainWindowPosition);
    m_mainWindow->show();
  }
  event->accept();
}

void Form1::ShowEntries(int current) {
  const QSignalBlocker blocker(List1);
  // Updated in place, so the list keeps its scroll position.
  const std::vector<std::string>& entries = m_contents.Entries();
  const int count = static_cast<int>(entries.size());
  while (List1->count() > count) delete List1->takeItem(List1->count() - 1);
  for (int row = 0; row < count; ++row) {
    const QString text = QString::fromStdString(entries[static_cast<std::size_t>(row)]);
    if (row < List1->count()) {
      if (List1->item(row)->text() != text) List1->item(row)->setText(text);
    } else {
      List1->addItem(text);
    }
  }
  List1->setCurrentRow(current);
  UpdateListExtent(*List1);
}

void Form1::ShowAddResult(const compose::AddResult& result) {
  if (result.added > 0) ShowEntries(List1->currentRow());
  if (result.enableMakeAlbum) Command3->setEnabled(true);
  if (!result.message.empty()) m_shell.ShowMessage(this, QString::fromStdString(result.message));
}

void Form1::AddItem() {
  const QString path = m_shell.OpenFileName(this, ToQString(kAddItemFilter));
  if (path.isEmpty()) return;
  ShowAddResult(m_contents.AddFile(path.toStdString()));
}

void Form1::AddFolderContents() {
  QString folder = m_shell.BrowseForFolder(this, ToQString(kFolderPrompt));
  if (folder.isEmpty()) return;
  folder = QString::fromStdString(base::WithTrailingSeparator(folder.toStdString()));
  const compose::AddResult result =
      m_contents.AddFolder(folder.toStdString(), compose::FileSystemLister());
  if (!result.error.empty()) {
    m_shell.ShowMessage(this, folder + " : " + QString::fromStdString(result.error));
    return;
  }
  ShowAddResult(result);
}

void Form1::FilesDropped(const std::vector<std::string>& paths) {
  ShowAddResult(m_contents.Drop(paths));
}

void Form1::RemoveItem() {
  UnloadPreview();
  Label1->setText(QString());
  // After a removal no entry is current; the button stays and then does nothing.
  if (m_contents.Remove(List1->currentRow())) ShowEntries(-1);
  if (m_contents.Empty()) {
    Command2->setEnabled(false);
    Command3->setEnabled(false);
  }
}

void Form1::UpdateSelectedLabel() {
  Label1->setText(ToQString(base::FileNameOf(CurrentEntry().toStdString())));
}

void Form1::ListGotFocus() {
  const bool selected = List1->currentItem() != nullptr && List1->currentItem()->isSelected();
  Command2->setEnabled(selected);
  if (selected) UpdateSelectedLabel();
}

void Form1::ListClicked() {
  if (List1->currentItem() == nullptr || !List1->currentItem()->isSelected()) {
    Command2->setEnabled(false);
    return;
  }
  Command2->setEnabled(true);
  if (album::KindOf(CurrentEntry().toStdString()) == album::ItemKind::Picture) {
    ShowPreview();
  } else {
    UnloadPreview();
  }
  UpdateSelectedLabel();
}

void Form1::ListMouseUp() {
  const int target = List1->currentRow();
  if (target >= 0 && target != m_dragFrom) {
    if (const auto moved = m_contents.Reorder(m_dragFrom, target)) {
      ShowEntries(static_cast<int>(*moved));
    }
  }
  m_dragFrom = List1->currentRow();
  ListClicked();
}

void Form1::MoveCurrentEntry(int step) {
  const int from = List1->currentRow();
  if (from < 0) return;
  if (const auto moved = m_contents.Reorder(from, from + step)) {
    ShowEntries(static_cast<int>(*moved));
    ListClicked();
  }
}

void Form1::ShowPreview() {
  move(0, y());
  UnloadPreview();
  m_preview = new Form7(*this);
  m_preview->setAttribute(Qt::WA_DeleteOnClose);
  m_preview->show();
}

void Form1::UnloadPreview() {
  if (m_preview) delete m_preview.data();
}

void Form1::MakeAlbum() {
  UnloadPreview();
  if (m_contents.Empty()) return;
  BusyCursor busy;
  const session::ContentsVerdict verdict = m_creation.Check(m_contents);
  if (!verdict.quality.rejections.empty()) ShowEntries(List1->currentRow());
  if (!verdict.quality.passed) {
    // A rewritten list can be neither edited nor submitted: only Cancel and Help remain.
    for (QPushButton* button : {Command3, Command2, Command1, Command5}) button->hide();
    busy.Restore();
    m_shell.ShowMessage(this, QString::fromStdString(verdict.Message()));
  } else if (!verdict.ok()) {
    busy.Restore();
    m_shell.ShowMessage(this, QString::fromStdString(verdict.Message()));
  } else {
    busy.Restore();
    OpenDetails();
  }
  // After an album was made the list is empty, and there is nothing left to make.
  Command3->setEnabled(!m_contents.Empty());
}

void Form1::OpenDetails() {
  const std::unique_ptr<media::MediaDevice> device = m_mediaDevices();
  Form2 details(*this, m_shell, *device);
  details.exec();
}

}  // namespace app
