#include "picture_box.h"

#include <QPainter>

namespace vellum32 {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  fitImage();
}

void PictureBox::fitImage() {
  const QSize size = this->size().expandedTo(QSize(1, 1));
  if (image_.size() == size) return;
  QImage next(size, QImage::Format_RGB32);
  next.fill(back_);
  if (!image_.isNull()) {
    QPainter painter(&next);
    painter.drawImage(0, 0, image_);
  }
  image_ = std::move(next);
}

void PictureBox::clearToBack() {
  fitImage();
  image_.fill(back_);
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  fitImage();
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitImage();
}

}  // namespace vellum32
