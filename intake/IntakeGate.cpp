// One intake at a time: the gate that the command line, forwarded texts and drops pass.
#include "intake/IntakeGate.h"

#include "app/PlayerState.h"

bool BeginIntake()
{
    bool expected = false;
    return intakeActive.compare_exchange_strong(expected, true);
}

void EndIntake()
{
    intakeActive = false;
}

void IntakeTicket::End()
{
    if (ended) return;
    ended = true;
    EndIntake();
}
