#pragma once
#include <cstdint>

#include <QColor>
#include <QImage>
#include <QSize>
#include <QWidget>

#include "ui/window_chrome.h"

class QPainter;

namespace marl::ui {

// Where a shadow keeps its state, so that a second attach finds the first one's window and hook.
inline constexpr char kShadowProperty[] = "Halo.WndShadow";             // owner: the shadow window
inline constexpr char kShadowHookProperty[] = "Halo.WndShadow.Proc";    // owner: the follower hook
inline constexpr char kShadowColorProperty[] = "Halo.WndShadow.Color";  // shadow: 0x00BBGGRR
inline constexpr char kShadowSizeProperty[] = "Halo.WndShadow.Size";    // shadow: ring count

// The alpha added per ring, counted from the outside: 100 / size up to 8 rings, 150 / size beyond.
int ShadowAlphaStep(int size);
// A colour kept as 0x00BBGGRR (red in the low byte) with the given alpha.
QColor ShadowColour(uint32_t colour, int alpha);

// Draws the rings of a shadow window of `area` (the owner plus `size` on every side) on a
// transparent surface; the owner's own area is left untouched.
void PaintShadowRings(QPainter& painter, QSize area, uint32_t colour, int size);
// The same rings on a fresh, fully transparent image.
QImage RenderShadowRings(QSize area, uint32_t colour, int size);

// The shadow window of `owner` and the object that makes it follow, or null when there is none.
QWidget* ShadowOf(const QWidget* owner);
QObject* ShadowHookOf(const QWidget* owner);

// The shadow window itself: a frameless tool window owned by (and destroyed with) the shadowed
// window. It never takes the focus, lets every click through to what lies beneath, and its shape
// leaves out the owner's area, so that even without a compositing window manager it never covers
// the owner. Colour and size come from its properties; changing them repaints it.
class WindowShadow : public QWidget {
    Q_OBJECT
  public:
    explicit WindowShadow(QWidget* owner);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int RingCount() const;
    void UpdateShape();
};

}  // namespace marl::ui
