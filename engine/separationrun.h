#pragma once

// The one separation run the process allows at a time. The order and
// product values of a run (the current order in Config, ProductData,
// ImageData, DirServer) are process-wide, and the run's jobs read and write
// some of them on pool threads; a second window starting its own run would
// change them under the first. A separation window keeps one guard as a
// member and refuses a search or a start with its busy message while
// SeparationRunGuard::isBusy().
//
// Declare the guard before the window's JobRunner: members go in reverse
// order, so the run is given back only after the runner has waited for the
// window's last job. A closed window keeps its run until it is destroyed.
class SeparationRunGuard
{
public:
    SeparationRunGuard() = default;
    // A run still held when the window goes is given back.
    ~SeparationRunGuard();

    SeparationRunGuard(const SeparationRunGuard&) = delete;
    SeparationRunGuard& operator=(const SeparationRunGuard&) = delete;

    // Takes the run. False when any run is going on, this guard's own
    // included, so a second click on the start button changes nothing.
    bool begin();
    // Gives the run back; nothing when this guard does not hold it.
    void end();
    // This guard holds the run.
    bool isHeld() const;
    // Some window of the process holds the run.
    static bool isBusy();
};
