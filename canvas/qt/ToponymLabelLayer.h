#pragma once

#include "features/ui/ToponymLabelView.h"

#include <QImage>
#include <QRectF>
#include <QWidget>

#include <cstddef>
#include <vector>

class QPainter;

namespace velorin {

// The place-name labels over the map: one child of the map's widget that covers it and
// lets every mouse event through to it. It keeps one image per label slot, drawn by
// `ToponymLabelView` at the widget's device pixel ratio, and paints them at positions
// rounded to device pixels, so that names stay crisp at fractional scales too. A restyle
// draws a slot's image again; a move repaints the slot's old and new places only. GUI
// thread only.
class ToponymLabelLayer : public QWidget {
public:
    explicit ToponymLabelLayer(QWidget* map);

    // Slot `index` shows `content` from now on; the slots before it are made if missing.
    void configure(std::size_t index, const ToponymLabelStyle& style);
    // Slot `index` stands with its label at `frame` (points) and shows.
    void place(std::size_t index, const QRectF& frame);
    // Every slot from `index` on is hidden.
    void hideFrom(std::size_t index);

    std::size_t slotCount() const { return slots_.size(); }
    bool isShown(std::size_t index) const { return index < slots_.size() && slots_[index].shown; }
    QRectF frame(std::size_t index) const { return slots_.at(index).frame; }
    // How many times slot images were drawn, for those who watch the cost.
    int renders() const { return renders_; }

    // Paints the shown labels with `painter`, over a device of the layer's pixel ratio.
    void paintLabels(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Slot {
        ToponymLabelStyle style;
        QImage image;
        QRectF frame;
        bool shown = false;
    };

    void render(Slot& slot);
    // Where a slot's image stands, its corner on a device pixel.
    QPointF imageOrigin(const Slot& slot) const;
    // The area a slot covers on screen, a pixel wider each way for the rounding.
    QRect area(const Slot& slot) const;

    std::vector<Slot> slots_;
    int renders_ = 0;
};

} // namespace velorin
