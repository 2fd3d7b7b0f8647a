#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace velorin {

// The screen shown when start-up failed: a warning symbol, the reason as given and a
// "Réessayer" button that runs `retry`. GUI thread only.
class FailureView : public QWidget {
public:
    static constexpr int kSpacingPoints = 18;
    static constexpr int kPaddingPoints = 32;
    static constexpr int kSymbolPoints = 44;
    static constexpr QColor kSymbolColor {255, 149, 0};

    FailureView(const std::string& message, std::function<void()> retry, QWidget* parent = nullptr);

    QLabel& symbol() const { return *symbol_; }
    QLabel& message() const { return *message_; }
    QPushButton& retryButton() const { return *retryButton_; }

private:
    QLabel* symbol_;
    QLabel* message_;
    QPushButton* retryButton_;
};

} // namespace velorin
