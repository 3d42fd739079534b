#include "app/shell.h"

#include "base/fileio.h"
#include "platform/system/folders.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStandardPaths>

namespace app {

QString ReplaceFileQuestion(const QString& path) {
  return QFileInfo(path).fileName() + " already exists.\nDo you want to replace it?";
}
namespace {

// "*.mp3" -> "*.[mM][pP]3": the patterns were written for a file system that ignores case.
QString CaseBlindPattern(const QString& pattern) {
  if (pattern == "*.*") return "*";
  QString out;
  for (const QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      out += '[';
      out += c.toLower();
      out += c.toUpper();
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

QFileDialog::Options DialogOptions() {
  return QFileDialog::HideNameFilterDetails;
}

// Room a window manager takes beside the title for the icon and the title bar's buttons.
constexpr int kTitleBarDecoration = 140;

// A box laid out for its text alone cuts the program's title in its caption.
void FitCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const int width = CaptionWidth(box.windowTitle(), box.fontMetrics());
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

int CaptionWidth(const QString& title, const QFontMetrics& metrics) {
  // Title bars often use a bold face somewhat larger than the dialog's own.
  return metrics.horizontalAdvance(title) * 5 / 4 + kTitleBarDecoration;
}

QWidget* MessageOwner(QWidget* owner) {
  // A box over a window not yet shown lands where that window would be: the screen's corner.
  QWidget* window = owner ? owner->window() : nullptr;
  if (window && window->isVisible()) return window;
  QWidget* active = QApplication::activeWindow();
  if (active && active->isVisible()) return active;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible() && top->isWindow() && !qobject_cast<QMessageBox*>(top)) return top;
  }
  return nullptr;
}

QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns += CaseBlindPattern(pattern.trimmed());
    }
    filters += parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

void DesktopShell::ShowMessage(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(kMessageTitle), text, QMessageBox::Ok,
                  MessageOwner(owner));
  FitCaption(box);
  box.exec();
}

bool DesktopShell::AskYesNo(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::Question, ToQString(kMessageTitle), text,
                  QMessageBox::Yes | QMessageBox::No, MessageOwner(owner));
  FitCaption(box);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool DesktopShell::AskEither(QWidget* owner, const QString& text, const QString& first,
                             const QString& second) {
  QMessageBox box(QMessageBox::Question, ToQString(kMessageTitle), text, QMessageBox::NoButton,
                  MessageOwner(owner));
  QPushButton* firstButton = box.addButton(first, QMessageBox::AcceptRole);
  QPushButton* secondButton = box.addButton(second, QMessageBox::RejectRole);
  FitCaption(box);
  box.setDefaultButton(firstButton);
  box.setEscapeButton(secondButton);
  box.exec();
  return box.clickedButton() == firstButton;
}

QString DesktopShell::OpenFileName(QWidget* owner, const QString& filter, const QString& start) {
  return QFileDialog::getOpenFileName(owner, QString(), start, NameFilters(filter).join(";;"),
                                      nullptr, DialogOptions());
}

QString DesktopShell::SaveFileName(QWidget* owner, const QString& proposedName,
                                   const QString& filter) {
  // The dialog itself asks before an existing file is chosen.
  return QFileDialog::getSaveFileName(owner, QString(), proposedName,
                                      NameFilters(filter).join(";;"), nullptr, DialogOptions());
}

QString FolderChooserStart(const QString& desktop, const QString& home) {
  return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : home;
}

QString DesktopShell::BrowseForFolder(QWidget* owner, const QString& prompt) {
  const QString start = FolderChooserStart(
      QStandardPaths::writableLocation(QStandardPaths::DesktopLocation), QDir::homePath());
  return QFileDialog::getExistingDirectory(owner, prompt, start, QFileDialog::ShowDirsOnly);
}

void DesktopShell::OpenDocument(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

QString DataFolderFor(const QString& programFolder) {
  const auto folder = platform::ProgramDataFolder(base::PathFromUtf8(programFolder.toStdString()));
  return QDir::cleanPath(QString::fromStdString(base::Utf8FromPath(folder)));
}

QString DataFolder() {
  return DataFolderFor(QCoreApplication::applicationDirPath());
}

QString HelpPagePath() {
  return DataFolder() + "/help/MP3.htm";
}

void OpenHelp(Shell& shell) {
  shell.OpenDocument(QUrl::fromLocalFile(HelpPagePath()));
}

void OpenMail(Shell& shell) {
  shell.OpenDocument(QUrl("mailto:" + ToQString(kAuthorMail)));
}

}  // namespace app
