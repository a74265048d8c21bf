// A container whose adopted children keep their margins to its edges when it is resized (their
// width and height follow it), and which gives those children back rather than deleting them:
// they belong to the views that made them.
#pragma once

#include <QMargins>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace lirra {

class AutoresizingWidget : public QWidget {
  public:
    explicit AutoresizingWidget(QWidget* parent = nullptr);
    ~AutoresizingWidget() override;

    // Makes `child` a child filling this widget, above the children adopted before it. A child
    // that was explicitly hidden stays hidden.
    void adopt(QWidget& child);
    // Gives `child` up: it is no longer a child of this widget (nor deleted with it).
    void release(QWidget& child);
    // Records the margins of an adopted child after its geometry was set from outside.
    void noteChildFrame(QWidget& child);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Adopted {
        QPointer<QWidget> widget;
        QMargins margins;
    };
    std::vector<Adopted> adopted_;
};

}  // namespace lirra
