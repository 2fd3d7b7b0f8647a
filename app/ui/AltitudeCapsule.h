#pragma once

#include "app/PositionProblem.h"

#include <QString>
#include <QVariantAnimation>
#include <QWidget>

class QLabel;

namespace velorin {

class AppModel;
class OverlayTransition;

// The walker's altitude at the top of the map screen: a mountain symbol and the
// altitude in whole metres, white on a black capsule; while the map follows the walker
// without a position, why none comes; hidden otherwise while the model has no altitude. A new figure cross-fades with the old one as the capsule takes its width.
// GUI thread only; the model outlives it.
class AltitudeCapsule : public QWidget {
public:
    static constexpr int kSpacingPoints = 5;
    static constexpr int kHorizontalPaddingPoints = 12;
    static constexpr int kVerticalPaddingPoints = 6;
    static constexpr int kSymbolPoints = 11;
    static constexpr int kTextPoints = 14;
    // It fades in from the top edge, and back out, over this time, and takes a new
    // altitude over it too.
    static constexpr double kTransitionSeconds = 0.2;

    AltitudeCapsule(AppModel& model, QWidget* parent = nullptr);

    // The altitude rounded to whole metres, halves away from zero: "813 m".
    static QString text(double meters);
    // "Position indisponible · gpsd n'est pas lancé".
    static QString problemText(PositionProblem problem);
    // Its figure, as rich text with monospaced digits.
    QLabel& altitude() const { return *altitude_; }
    OverlayTransition& transition() const { return *transition_; }
    // Driven by Qt's animation timer; tests set its current time.
    QVariantAnimation& change() { return change_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void showAltitude(const QString& plain);
    // `progress` 0 shows the old figure at the old width, 1 the new one at its own.
    void applyChange(double progress);

    AppModel& model_;
    QLabel* symbol_;
    QLabel* altitude_;
    OverlayTransition* transition_;
    QVariantAnimation change_;
    QString previous_;
    int previousWidth_ = 0;
};

} // namespace velorin
