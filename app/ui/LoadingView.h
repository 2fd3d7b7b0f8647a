#pragma once

#include <QWidget>

namespace velorin {

// The screen shown while the application starts: a large busy indicator above
// "Préparation de la carte…". GUI thread only.
class LoadingView : public QWidget {
public:
    static constexpr int kSpacingPoints = 14;
    static constexpr int kIndicatorWidthPoints = 160;

    explicit LoadingView(QWidget* parent = nullptr);
};

} // namespace velorin
