#pragma once
// The picture preview beside the contents list: the list's current picture, scaled to fit.

#include <QPixmap>
#include <QWidget>
#include <string_view>

class QLabel;

namespace app {

class Form1;

inline constexpr std::string_view kPreviewCaption = "Preview";
inline constexpr std::string_view kTooLargeCaption = "Image Too Large To Display";
/// Files of this many bytes or more are not loaded.
inline constexpr qint64 kPreviewSizeLimit = 850000;
/// The window's size on opening, in twips (1/1440 inch).
inline constexpr int kPreviewSizeTwips = 2800;

/// Where a fitted picture goes: its left and top edge and its size.
struct PictureFit {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

/// Fits a picture of natural size `pictureWidth` × `pictureHeight` into a box, keeping its
/// proportions: it fills the box's height when the box is relatively wider, else its width.
/// When centring, the spare room (rounded half to even) is halved by whole-number division.
/// The offsets are added to the position. A picture or box without area gives size 0.
PictureFit FitPicture(float pictureWidth, float pictureHeight, float boxWidth, float boxHeight,
                      float leftOffset, float topOffset, bool centre);

class Form7 : public QWidget {
  Q_OBJECT

 public:
  /// Loads the current entry of `list` and opens beside it.
  explicit Form7(Form1& list);

  /// The picture shown, null when none was loaded.
  const QPixmap& Picture() const { return m_picture; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Fit();

  QPixmap m_picture;
  QLabel* Image1 = nullptr;
  // The caption again, inside: a narrow window's title bar cuts it short.
  QLabel* m_notice = nullptr;
};

}  // namespace app
