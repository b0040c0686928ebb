#pragma once

class QWidget;

namespace app {

// A window centred on its screen the first time it shows; after that it stays where the user put it.
class CentredOnFirstShow {
public:
    void shown(QWidget &window);

private:
    bool centred_ = false;
};

} // namespace app
