#include "app/form7.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QResizeEvent>

#include "app/form1.h"
#include "app/shell.h"
#include "base/text.h"

namespace app {

PictureFit FitPicture(float pictureWidth, float pictureHeight, float boxWidth, float boxHeight,
                      float leftOffset, float topOffset, bool centre) {
  PictureFit fit{leftOffset, topOffset, 0, 0};
  if (pictureWidth <= 0 || pictureHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return fit;
  const float boxRatio = boxWidth / boxHeight;
  const float pictureRatio = pictureWidth / pictureHeight;
  // Rounded half to even, then halved with the remainder dropped.
  const auto half = [](float room) {
    return static_cast<float>(static_cast<long>(base::RoundHalfEven(room)) / 2);
  };
  float left = 0;
  float top = 0;
  if (boxRatio >= pictureRatio) {
    fit.height = boxHeight;
    fit.width = pictureWidth / (pictureHeight / boxHeight);
    if (centre) left = half(boxWidth - fit.width);
  } else {
    fit.width = boxWidth;
    fit.height = pictureHeight / (pictureWidth / boxWidth);
    if (centre) top = half(boxHeight - fit.height);
  }
  fit.left = left + leftOffset;
  fit.top = top + topOffset;
  return fit;
}

Form7::Form7(Form1& list) : QWidget(&list, Qt::Window) {
  setObjectName("Form7");
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setScaledContents(true);

  const int side = qRound(kPreviewSizeTwips * logicalDpiX() / 1440.0);
  resize(side, side);
  const QRect listFrame = list.frameGeometry();
  move(listFrame.width(), listFrame.top());

  // A file that cannot be read or decoded leaves the window empty.
  const QString path = list.CurrentEntry();
  if (QFileInfo(path).size() < kPreviewSizeLimit) {
    setWindowTitle(ToQString(kPreviewCaption));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    m_picture = QPixmap::fromImage(reader.read());
    Image1->setPixmap(m_picture);
  } else {
    setWindowTitle(ToQString(kTooLargeCaption));
    m_notice = new QLabel(ToQString(kTooLargeCaption), this);
    m_notice->setObjectName("lblTooLarge");
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);
  }
  Fit();
}

void Form7::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!isMinimized()) Fit();
}

void Form7::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Restoring a minimised window refits: a size change while minimised was not followed.
  if (event->type() == QEvent::WindowStateChange && !isMinimized()) Fit();
}

void Form7::Fit() {
  if (m_notice != nullptr) m_notice->setGeometry(rect().adjusted(8, 8, -8, -8));
  if (m_picture.isNull()) {
    Image1->hide();
    return;
  }
  const PictureFit fit =
      FitPicture(static_cast<float>(m_picture.width()), static_cast<float>(m_picture.height()),
                 static_cast<float>(width()), static_cast<float>(height()), 0, 0, true);
  Image1->setGeometry(qRound(fit.left), qRound(fit.top), qRound(fit.width), qRound(fit.height));
  Image1->show();
}

}  // namespace app
