#pragma once
// A list whose horizontal scroll range is set from outside, in pixels, and the rule that sets
// it from the widest entry.

#include <QListWidget>

namespace app {

/// A list widget with a settable horizontal extent: the width in pixels that its horizontal
/// scroll bar lets the user reach. The list scrolls only as far as the extent says.
class ExtentListWidget : public QListWidget {
  Q_OBJECT

 public:
  explicit ExtentListWidget(QWidget* parent = nullptr);
  void setHorizontalExtent(int pixels);
  int horizontalExtent() const { return m_extent; }

 protected:
  void updateGeometries() override;

 private:
  int m_extent = 0;
};

/// The width in pixels of the widest entry in the list's font; 0 for an empty list.
int WidestEntryWidth(const QListWidget& list);

/// Makes the list's horizontal extent match its widest entry (with the margins it is drawn
/// in); 0 for an empty list.
void UpdateListExtent(ExtentListWidget& list);

}  // namespace app
