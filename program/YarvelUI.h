// The vehicle choice dialog: when several vehicle descriptions in effect
// match, the user picks one of the rows the lookup procedures built.
#pragma once

#include "VehicleChoice.h"

class QWidget;

// The program's chooser: shows the choice table in the modal dialog
// TVehicleDetail (through ExecModal, so a headless run answers cancel) and
// answers the chosen row, or -1 when cancelled. The owner is borrowed and
// may be null (the silent host lookup has no window).
class TVehicleDetailChooser : public TVehicleChooser {
public:
    explicit TVehicleDetailChooser(QWidget* owner = nullptr) : m_owner(owner) {}
    int Choose(const TChoiceTable& table) override;

private:
    QWidget* m_owner;
};
