#pragma once

#include "common/Beeper.h"

#include <QApplication>

/** The Beeper of the running program: the platform's alert sound. */
class SystemBeeper final : public Beeper
{
public:
    void beep() override { QApplication::beep(); }
};
