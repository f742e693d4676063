#pragma once
// A label that acts on the left mouse button: pressed (the site-notes line that clears the finished
// list) or released over it (the browse label).
#include <QLabel>
#include <QMouseEvent>
#include <functional>

namespace morvalin {

class ClickLabel : public QLabel {
 public:
  using QLabel::QLabel;

  std::function<void()> on_press;
  std::function<void()> on_release;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && on_press) on_press();
    QLabel::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && on_release && rect().contains(event->position().toPoint())) {
      on_release();
    }
    QLabel::mouseReleaseEvent(event);
  }
};

}  // namespace morvalin
