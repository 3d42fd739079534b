#include "app/listextent.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace app {

ExtentListWidget::ExtentListWidget(QWidget* parent) : QListWidget(parent) {
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
}

void ExtentListWidget::setHorizontalExtent(int pixels) {
  m_extent = std::max(0, pixels);
  updateGeometries();
}

void ExtentListWidget::updateGeometries() {
  QListWidget::updateGeometries();
  // The view's own range follows its items' layout; the extent set from outside decides.
  const int width = viewport()->width();
  horizontalScrollBar()->setRange(0, std::max(0, m_extent - width));
  horizontalScrollBar()->setPageStep(width);
}

int WidestEntryWidth(const QListWidget& list) {
  const QFontMetrics metrics(list.font());
  int widest = 0;
  for (int row = 0; row < list.count(); ++row) {
    widest = std::max(widest, metrics.horizontalAdvance(list.item(row)->text()));
  }
  return widest;
}

void UpdateListExtent(ExtentListWidget& list) {
  if (list.count() == 0) {
    list.setHorizontalExtent(0);
    return;
  }
  // Entries are drawn inside the item's text margins: without them the widest entry's last
  // characters would stay out of reach.
  const int margin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
  list.setHorizontalExtent(WidestEntryWidth(list) + 2 * margin);
}

}  // namespace app
