#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace vellum32 {

// A picture child of the control: a widget whose contents live in a persistent image.
// Everything is drawn into the image; paint events only show it, so what has been
// drawn stays until it is cleared or drawn over.
class PictureBox : public QWidget {
public:
  explicit PictureBox(QWidget* parent);

  const QImage& image() const { return image_; }
  QImage& image() { return image_; }
  QColor backColour() const { return back_; }
  void setBackColour(const QColor& colour) { back_ = colour; }

  // Sizes the image to the widget; kept contents stay, new parts get the back colour.
  void fitImage();
  // Fills the whole image with the back colour and schedules a repaint.
  void clearToBack();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  QImage image_;
  QColor back_ = Qt::white;
};

}  // namespace vellum32
