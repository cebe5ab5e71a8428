#pragma once

#include <QAbstractButton>

namespace carvela {

// The integration's on/off switch: a vertical lever on a silver plate, up and green when on.
// A click flips it and emits clicked(); setChecked() from code flips it silently, so start-up
// can show the stored state without running the switch's handler.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace carvela
