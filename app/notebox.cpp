#include "app/notebox.h"

#include <QTextDocument>
#include <QtMath>
#include <algorithm>

#include "app/shell.h"

namespace app {

QPlainTextEdit* MakeNoteBox(QWidget* parent, std::string_view note) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName("Text1");
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  const QString text = ToQString(note).replace("\r\n", "\n");
  box->setPlainText(text);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The note keeps its own line breaks; the box is made to hold all of it.
  const QFontMetrics metrics(box->font());
  const QStringList lines = text.trimmed().split('\n');
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  const int chrome = 2 * (box->frameWidth() + qCeil(box->document()->documentMargin())) + 4;
  box->setMinimumWidth(width + chrome);
  box->setFixedHeight(metrics.lineSpacing() * static_cast<int>(lines.size()) + chrome);
  return box;
}

}  // namespace app
