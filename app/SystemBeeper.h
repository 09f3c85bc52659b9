#pragma once

#include "platform/Beeper.h"

/** The system's alert sound. */
class SystemBeeper : public Beeper
{
public:
    void beep() override;
};
