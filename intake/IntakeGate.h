// One intake at a time: the gate that the command line, forwarded texts and drops pass.
#pragma once

// Window thread: lets an intake in by setting `intakeActive`; false while another intake's shared
// work (scan, start) runs. The caller then refuses its text or drop.
bool BeginIntake();

// Closes the gate: for a starter whose worker could not be started.
void EndIntake();

// Held by an intake's worker: closes the gate once, when the intake's shared work is done and
// before any dialog it shows (which touches nothing shared), or when the worker ends.
class IntakeTicket {
public:
    IntakeTicket() = default;
    ~IntakeTicket() { End(); }
    IntakeTicket(const IntakeTicket&) = delete;
    IntakeTicket& operator=(const IntakeTicket&) = delete;
    void End();

private:
    bool ended = false;
};
