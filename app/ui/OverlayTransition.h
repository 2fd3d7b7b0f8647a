#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QVariantAnimation>

class QWidget;

namespace velorin {

class FadingShadowEffect;

// Shows and hides one floating control of the map screen: it slides in from an edge of its
// overlay layer while fading in, and slides back out fading away, while its neighbours in
// the layer glide to close up or make room; a control that has left is hidden, so the
// layer lets the pointer through where it stood. Only the overlay repaints, never the map.
// Owned by the control; GUI thread only.
class OverlayTransition : public QObject {
public:
    // `control` sits in an overlay layer (its parent widget) and keeps its drop shadow, if
    // it has one; `edge` is the side of the layer it comes from and goes to.
    OverlayTransition(QWidget& control, Qt::Edge edge, double durationSeconds);

    // Slides the control in or out, at once while its layer is not on screen. A change
    // mid-way runs back from where the control stands.
    void setShown(bool shown);
    bool isShown() const { return shown_; }
    // 0 while gone, 1 in place and opaque.
    double progress() const { return progress_; }
    // Where the control stands once in, in its layer; kept while it is away.
    QRect place() const { return place_; }
    QWidget& control() const { return control_; }
    // Driven by Qt's animation timer; tests set its current time.
    QVariantAnimation& animation() { return animation_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(double progress);
    // How far from its place the control stands at `progress`.
    QPoint offsetAt(double progress) const;
    void moveBy(QPoint offset);

    QWidget& control_;
    Qt::Edge edge_;
    int durationMs_;
    QPointer<FadingShadowEffect> effect_;
    QVariantAnimation animation_;
    bool shown_;
    double progress_;
    // Where the layer's layout put the control, and how far the transition moved it from there.
    QRect place_;
    QPoint offset_;
    bool moving_ = false;
};

} // namespace velorin
