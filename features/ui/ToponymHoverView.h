#pragma once

#include "features/ScreenRect.h"

#include <QWidget>

#include <functional>

class QToolButton;

namespace velorin {

// The card shown over the place name under the pointer: a translucent pill around the
// label with two round buttons at its end, one going straight to the place ("Aller
// directement à ce lieu"), one flying there ("Y aller"). Events elsewhere on the card are
// left to the map beneath it. Made hidden by the map's window, as its child. GUI thread only.
class ToponymHoverView : public QWidget {
    Q_OBJECT

public:
    static constexpr double kBorderWidth = 2;
    static constexpr double kBackgroundAlpha = 0.18;
    static constexpr double kGlyphPixels = 12;
    // A button with nothing to do shows its glyph this faint.
    static constexpr double kDisabledAlpha = 0.35;

    explicit ToponymHoverView(QWidget* parent);

    // Called by the buttons; a button whose callback is empty is disabled.
    void setOnJump(std::function<void()> callback);
    void setOnGo(std::function<void()> callback);

    // Stands beside the label whose frame (view points) is `label` and shows.
    void layout(const ScreenRect& label);

    QToolButton& jumpButton() const { return *jump_; }
    QToolButton& goButton() const { return *go_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QToolButton* button(const char* symbol, const char* name, std::function<void()> ToponymHoverView::*callback);

    std::function<void()> onJump_;
    std::function<void()> onGo_;
    double cornerRadius_ = 0;
    // The pixel ratio the buttons' glyphs are drawn at.
    double iconRatio_ = 1;
    QToolButton* jump_;
    QToolButton* go_;
};

} // namespace velorin
