#pragma once
// The main window's controls when the window is larger than its designed size: at that size
// every control keeps its designed rectangle; the room added goes to the client list and the
// message pane, the frames keep their place beside the list, the row under the list keeps its
// place under it. The window's size is kept between runs of the program.
#include <QObject>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace vantrel {

class GrowingLayout : public QObject {
    Q_OBJECT
  public:
    // What a control does with the room added (dx wider, dy higher): the list and the pane
    // share dy, half each.
    enum class Rule {
        Banner,    // wider by dx
        List,      // wider by dx, higher by the list's half of dy
        UnderList, // down by the list's half
        Pane,      // down by the list's half, wider by dx, higher by the rest of dy
        Beside,    // right by dx
    };

    // `area`: the window's client area, whose designed size is its size now.
    explicit GrowingLayout(QWidget* area);
    // Takes the control's rectangle now as its designed one.
    void add(QWidget* control, Rule rule);
    QSize designedSize() const { return designed_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void apply(QSize size);

    QWidget* area_;
    QSize designed_;
    struct Placed {
        QWidget* control;
        QRect rect;
        Rule rule;
    };
    std::vector<Placed> placed_;
};

// The size the main window was last closed with, and whether it was maximised; nothing
// stored: the designed size.
struct WindowSize {
    QSize size;
    bool maximised = false;
};
WindowSize storedWindowSize();
void storeWindowSize(const WindowSize& size);

} // namespace vantrel
