#pragma once
// The user, as far as dialogs and message boxes go: answers queued by the test, everything
// shown recorded.

#include <QList>
#include <QStringList>
#include <QUrl>
#include <deque>

#include "app/shell.h"

namespace guitest {

class FakeShell : public app::Shell {
 public:
  // Answers, taken from the front; an empty queue answers "cancel" (or "no").
  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<QString> folderAnswers;
  std::deque<bool> yesNoAnswers;

  // What the program showed or asked.
  QStringList messages;
  QStringList questions;
  QStringList openFilters;
  QStringList openStarts;
  QStringList saveProposals;
  QStringList saveFilters;
  QStringList folderPrompts;
  QList<QUrl> openedDocuments;

  void ShowMessage(QWidget*, const QString& text) override { messages += text; }
  bool AskYesNo(QWidget*, const QString& text) override {
    questions += text;
    return Take(yesNoAnswers);
  }
  // Recorded as the text, then the buttons in brackets; answered from yesNoAnswers.
  bool AskEither(QWidget*, const QString& text, const QString& first,
                 const QString& second) override {
    questions += text + " [" + first + "/" + second + "]";
    return Take(yesNoAnswers);
  }
  QString OpenFileName(QWidget*, const QString& filter, const QString& start) override {
    openFilters += filter;
    openStarts += start;
    return Take(openAnswers);
  }
  QString SaveFileName(QWidget*, const QString& proposedName, const QString& filter) override {
    saveProposals += proposedName;
    saveFilters += filter;
    return Take(saveAnswers);
  }
  QString BrowseForFolder(QWidget*, const QString& prompt) override {
    folderPrompts += prompt;
    return Take(folderAnswers);
  }
  void OpenDocument(const QUrl& url) override { openedDocuments += url; }

 private:
  template <typename T>
  static T Take(std::deque<T>& queue) {
    const T value = queue.empty() ? T() : queue.front();
    if (!queue.empty()) queue.pop_front();
    return value;
  }
};

}  // namespace guitest
