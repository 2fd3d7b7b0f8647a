#pragma once

#include <QWidget>

namespace velorin {

// The screen shown while the application starts: a large spinner above
// "Préparation de la carte…". GUI thread only.
class LoadingView : public QWidget {
public:
    static constexpr int kSpacingPoints = 14;
    static constexpr int kSpinnerPoints = 36;

    explicit LoadingView(QWidget* parent = nullptr);
};

} // namespace velorin
