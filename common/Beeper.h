#pragma once

/** The platform's alert sound, behind an interface so tests can count it. */
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};
